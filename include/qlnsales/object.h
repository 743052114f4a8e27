// Late binding: every class declares its properties and methods once, in a dispatch table beside
// the class, and the typed C++ members and the by-name calls are then the same members.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "qlnsales/value.h"

namespace qlnsales {

class DispatchTable;

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;

  // The registered class name, for example "QLNSales.Customer".
  virtual std::string_view ClassName() const = 0;

  // By-name access; names are matched without regard to case. Unknown names, writes to read-only
  // properties and reads of write-only ones are Errors that name the member and the class.
  Value Get(std::string_view property);
  void Set(std::string_view property, const Value& value);
  // Arguments that the method takes by reference are written back into `args`.
  Value Invoke(std::string_view method, std::vector<Value>& args);
  Value Invoke(std::string_view method, std::vector<Value>&& args = {});

  bool HasProperty(std::string_view property) const;
  bool HasMethod(std::string_view method) const;

 protected:
  virtual const DispatchTable& Dispatch() const = 0;
};

namespace dispatch {

template <class T>
struct ArgTraits;

template <>
struct ArgTraits<Value> {
  static Value From(const Value& v) { return v; }
  static Value To(const Value& v) { return v; }
};
template <>
struct ArgTraits<std::string> {
  static std::string From(const Value& v) { return v.ToText(); }
  static Value To(const std::string& v) { return Value(v); }
};
template <>
struct ArgTraits<double> {
  static double From(const Value& v) { return v.ToDouble(); }
  static Value To(double v) { return Value(v); }
};
template <>
struct ArgTraits<bool> {
  static bool From(const Value& v) { return v.ToBool(); }
  static Value To(bool v) { return Value(v); }
};
template <>
struct ArgTraits<std::int32_t> {
  static std::int32_t From(const Value& v) { return v.ToInt32(); }
  static Value To(std::int32_t v) { return Value(v); }
};
template <>
struct ArgTraits<std::int16_t> {
  static std::int16_t From(const Value& v) {
    auto i = v.ToInt32();
    if (i < -32768 || i > 32767) throw Error("Overflow");
    return static_cast<std::int16_t>(i);
  }
  static Value To(std::int16_t v) { return Value(static_cast<std::int32_t>(v)); }
};
template <>
struct ArgTraits<std::int64_t> {
  static std::int64_t From(const Value& v) { return v.ToInt64(); }
  static Value To(std::int64_t v) { return Value(v); }
};
template <>
struct ArgTraits<Date> {
  static Date From(const Value& v) { return v.ToDate(); }
  static Value To(const Date& v) { return Value(v); }
};
template <class T>
requires std::is_base_of_v<Object, T>
struct ArgTraits<std::shared_ptr<T>> {
  static std::shared_ptr<T> From(const Value& v) {
    auto o = v.ToObject();
    if (!o) return nullptr;
    auto t = std::dynamic_pointer_cast<T>(o);
    if (!t) throw Error("Type mismatch");
    return t;
  }
  static Value To(const std::shared_ptr<T>& v) { return Value(ObjectRef(v)); }
};
// An optional argument: absent (or passed as Empty) gives nullopt, so a method can tell
// "not given" from any value.
template <class T>
struct ArgTraits<std::optional<T>> {
  static std::optional<T> From(const Value& v) {
    if (v.IsEmpty()) return std::nullopt;
    return ArgTraits<T>::From(v);
  }
  static Value To(const std::optional<T>& v) { return v ? ArgTraits<T>::To(*v) : Value(); }
};

using Getter = std::function<Value(Object&)>;
using Setter = std::function<void(Object&, const Value&)>;
using Caller = std::function<Value(Object&, std::vector<Value>&)>;

template <class R, class... A, class C, class F, std::size_t... I>
Value CallWith(C& self, F fn, std::vector<Value>& args, std::index_sequence<I...>) {
  static const Value kMissing;
  std::tuple<std::decay_t<A>...> locals{
      ArgTraits<std::decay_t<A>>::From(I < args.size() ? args[I] : kMissing)...};
  auto write_back = [&] {
    (
        [&] {
          using P = std::tuple_element_t<I, std::tuple<A...>>;
          if constexpr (std::is_lvalue_reference_v<P> &&
                        !std::is_const_v<std::remove_reference_t<P>>) {
            if (I < args.size()) args[I] = ArgTraits<std::decay_t<P>>::To(std::get<I>(locals));
          }
        }(),
        ...);
  };
  if constexpr (std::is_void_v<R>) {
    std::invoke(fn, self, std::get<I>(locals)...);
    write_back();
    return Value();
  } else {
    R result = std::invoke(fn, self, std::get<I>(locals)...);
    write_back();
    return ArgTraits<std::decay_t<R>>::To(result);
  }
}

}  // namespace dispatch

class DispatchTable {
 public:
  struct Property {
    std::string name;
    dispatch::Getter get;  // empty: write-only
    dispatch::Setter set;  // empty: read-only
  };
  struct Method {
    std::string name;
    std::size_t arity;
    dispatch::Caller call;
  };

  explicit DispatchTable(std::string class_name) : class_name_(std::move(class_name)) {}

  const Property* FindProperty(std::string_view name) const;
  const Method* FindMethod(std::string_view name) const;
  const std::string& class_name() const { return class_name_; }
  std::vector<std::string> PropertyNames() const;
  std::vector<std::string> MethodNames() const;

  void AddProperty(Property p);
  void AddMethod(Method m);

 private:
  std::string class_name_;
  std::unordered_map<std::string, Property> properties_;
  std::unordered_map<std::string, Method> methods_;
};

// Builds the dispatch table of class C from its members.
template <class C>
class DispatchBuilder {
 public:
  explicit DispatchBuilder(std::string class_name) : table_(std::move(class_name)) {}

  // A read/write data member.
  template <class T>
  DispatchBuilder& Prop(std::string name, T C::*member) {
    table_.AddProperty(
        {std::move(name),
         [member](Object& o) { return dispatch::ArgTraits<T>::To(static_cast<C&>(o).*member); },
         [member](Object& o, const Value& v) {
           static_cast<C&>(o).*member = dispatch::ArgTraits<T>::From(v);
         }});
    return *this;
  }
  // A data member that callers may only set (the connection object of some classes).
  template <class T>
  DispatchBuilder& WriteOnly(std::string name, T C::*member) {
    table_.AddProperty({std::move(name), nullptr, [member](Object& o, const Value& v) {
                          static_cast<C&>(o).*member = dispatch::ArgTraits<T>::From(v);
                        }});
    return *this;
  }
  // A read-only property served by a const member function.
  template <class T, class B>
  requires std::is_base_of_v<B, C> DispatchBuilder& ReadOnly(std::string name,
                                                             T (B::*getter)() const) {
    table_.AddProperty({std::move(name),
                        [getter](Object& o) {
                          return dispatch::ArgTraits<std::decay_t<T>>::To(
                              (static_cast<C&>(o).*getter)());
                        },
                        nullptr});
    return *this;
  }
  // A property with accessor functions.
  template <class T, class U>
  DispatchBuilder& Accessor(std::string name, T (C::*getter)() const, void (C::*setter)(U)) {
    table_.AddProperty(
        {std::move(name),
         [getter](Object& o) {
           return dispatch::ArgTraits<std::decay_t<T>>::To((static_cast<C&>(o).*getter)());
         },
         [setter](Object& o, const Value& v) {
           (static_cast<C&>(o).*setter)(dispatch::ArgTraits<std::decay_t<U>>::From(v));
         }});
    return *this;
  }
  // A property served by functions of the caller's own.
  DispatchBuilder& Property(std::string name, dispatch::Getter get, dispatch::Setter set) {
    table_.AddProperty({std::move(name), std::move(get), std::move(set)});
    return *this;
  }
  template <class R, class... A>
  DispatchBuilder& Method(std::string name, R (C::*fn)(A...)) {
    return AddMethod<R, A...>(std::move(name), fn);
  }
  template <class R, class... A>
  DispatchBuilder& Method(std::string name, R (C::*fn)(A...) const) {
    return AddMethod<R, A...>(std::move(name), fn);
  }

  DispatchTable Build() { return std::move(table_); }

 private:
  template <class R, class... A, class F>
  DispatchBuilder& AddMethod(std::string name, F fn) {
    table_.AddMethod({std::move(name), sizeof...(A), [fn](Object& o, std::vector<Value>& args) {
                        return dispatch::CallWith<R, A...>(static_cast<C&>(o), fn, args,
                                                           std::index_sequence_for<A...>{});
                      }});
    return *this;
  }

  DispatchTable table_;
};

}  // namespace qlnsales
