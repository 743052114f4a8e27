// The desktop's modal boxes. A library never blocks waiting for a person: the default shell is
// headless (a message goes to the log, a question is answered "cancelled"); tests and the
// automation protocol install a scripted one.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qlnsales {

class Shell {
 public:
  virtual ~Shell() = default;
  virtual void MsgBox(const std::string& text, const std::string& title) = 0;
  // The typed answer, or nullopt when the person cancels.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& default_text) = 0;
};

class HeadlessShell : public Shell {
 public:
  void MsgBox(const std::string& text, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
};

class ScriptedShell : public Shell {
 public:
  struct Message {
    std::string text;
    std::string title;
  };
  void MsgBox(const std::string& text, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;

  // Queues the answer to the next input box; nullopt answers "cancelled".
  void QueueAnswer(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
  // The messages shown so far, cleared by the call.
  std::vector<Message> TakeMessages();
  const std::vector<Message>& messages() const { return messages_; }
  const std::vector<std::string>& prompts() const { return prompts_; }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<Message> messages_;
  std::vector<std::string> prompts_;
};

// The calling thread's shell (headless unless one was installed).
Shell& CurrentShell();
// Installs a shell for the calling thread; nullptr puts the headless one back.
void SetShell(std::shared_ptr<Shell> shell);

// The title the module's own message boxes carry.
inline constexpr const char* kApplicationTitle = "QLNSales";

}  // namespace qlnsales
