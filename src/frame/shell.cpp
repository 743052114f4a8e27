#include "qlnsales/shell.h"

#include <iostream>

namespace qlnsales {

void HeadlessShell::MsgBox(const std::string& text, const std::string& title) {
  std::clog << "[" << title << "] " << text << '\n';
}

std::optional<std::string> HeadlessShell::InputBox(const std::string& prompt,
                                                   const std::string& title, const std::string&) {
  std::clog << "[" << title << "] " << prompt << " (no one to answer: cancelled)\n";
  return std::nullopt;
}

void ScriptedShell::MsgBox(const std::string& text, const std::string& title) {
  messages_.push_back({text, title});
}

std::optional<std::string> ScriptedShell::InputBox(const std::string& prompt, const std::string&,
                                                   const std::string&) {
  prompts_.push_back(prompt);
  if (answers_.empty()) return std::nullopt;
  auto answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

std::vector<ScriptedShell::Message> ScriptedShell::TakeMessages() {
  auto out = std::move(messages_);
  messages_.clear();
  return out;
}

namespace {
thread_local std::shared_ptr<Shell> current;
}

Shell& CurrentShell() {
  if (!current) current = std::make_shared<HeadlessShell>();
  return *current;
}

void SetShell(std::shared_ptr<Shell> shell) {
  current = std::move(shell);
}

}  // namespace qlnsales
