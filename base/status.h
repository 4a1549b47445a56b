// The outcome of an operation that can fail for a reason someone should read: Status for
// operations without a value, Result<T> for those with one. A failure carries a code for
// callers that branch on the kind of failure and a one-line message for people.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace orichalcumite {

enum class StatusCode {
  ok,
  invalidArgument,   // the caller's input cannot be used
  notFound,          // a file or folder that should exist does not
  permissionDenied,  // the system refused access
  damagedData,       // data read back does not have the expected form
  ioError,           // any other failure of the system
  cancelled,         // someone asked the operation to stop
};

class Status {
 public:
  Status() = default;  // success
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

  static Status success() { return {}; }
  // A failure from an errno value: the code follows the errno (ENOENT is notFound, EACCES and
  // EPERM are permissionDenied, anything else ioError); the message is
  // "<context>: <system description>".
  static Status fromErrno(int error, const std::string& context);

  bool ok() const { return code_ == StatusCode::ok; }
  explicit operator bool() const { return ok(); }
  StatusCode code() const { return code_; }
  // Empty on success.
  const std::string& message() const { return message_; }

 private:
  StatusCode code_ = StatusCode::ok;
  std::string message_;
};

// A value, or the Status of the failure that prevented it. A Result made from a Status must be
// made from a failure.
template <typename T> class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Status failure) : status_(std::move(failure)) {}
  Result(StatusCode code, std::string message) : status_(code, std::move(message)) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  // Success when there is a value.
  const Status& status() const { return status_; }
  const std::string& message() const { return status_.message(); }

  // Only when ok().
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace orichalcumite
