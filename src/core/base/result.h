#pragma once
/// The success-or-error-text result every routine of the program returns.
///
/// A failing routine returns an error text; each routine on the way up adds
/// its own tag (for example " [GetRecBuf]" or "[TxtOpen]", exactly as the
/// routine's messages spell it), so the text a user finally reads is a chain
/// such as "File record too long [GetLaheyRec] [GetRecBuf]".

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vdln {

/// Success, or failure with an error text.
class [[nodiscard]] Status {
public:
    Status() = default;  ///< success
    static Status ok() { return Status(); }
    /// Failure with the given text (an empty text is still a failure).
    static Status fail(std::string message) {
        Status s;
        s.m_failed = true;
        s.m_message = std::move(message);
        return s;
    }

    bool isOk() const { return !m_failed; }
    explicit operator bool() const { return !m_failed; }
    /// The error text; empty on success.
    const std::string& message() const { return m_message; }

    /// Appends a routine's tag to the error text of a failure; a success is
    /// returned unchanged.
    Status& tag(std::string_view suffix) & {
        if (m_failed) m_message += suffix;
        return *this;
    }
    Status&& tag(std::string_view suffix) && {
        if (m_failed) m_message += suffix;
        return std::move(*this);
    }
    /// Puts text in front of the error text of a failure.
    Status&& prefix(std::string_view text) && {
        if (m_failed) m_message.insert(0, text);
        return std::move(*this);
    }

private:
    bool m_failed = false;
    std::string m_message;
};

/// Stops the program with the internal-error text naming `message`: a
/// failed Result was read as if it held a value.  Every build stops here.
[[noreturn]] void stopOnFailedResult(const std::string& message);

/// A value, or failure with an error text.  Reading the value of a failure
/// (value(), * or ->) is a programming error: it stops the program with an
/// internal-error message naming the failure's text.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}           // NOLINT: implicit on purpose
    Result(Status failure) : m_status(std::move(failure)) {  // NOLINT
        if (m_status.isOk()) m_status = Status::fail("internal: Result built from a success status");
    }
    static Result fail(std::string message) { return Result(Status::fail(std::move(message))); }

    bool isOk() const { return m_value.has_value(); }
    explicit operator bool() const { return m_value.has_value(); }
    const std::string& message() const { return m_status.message(); }
    /// The failure as a Status (success when a value is held).
    const Status& status() const { return m_status; }

    T& value() & { return held(); }
    const T& value() const& { return held(); }
    T&& value() && { return std::move(held()); }
    T* operator->() { return &held(); }
    const T* operator->() const { return &held(); }
    T& operator*() & { return held(); }
    const T& operator*() const& { return held(); }

    Result& tag(std::string_view suffix) & {
        m_status.tag(suffix);
        return *this;
    }
    Result&& tag(std::string_view suffix) && {
        m_status.tag(suffix);
        return std::move(*this);
    }

private:
    T& held() {
        if (!m_value) stopOnFailedResult(m_status.message());
        return *m_value;
    }
    const T& held() const {
        if (!m_value) stopOnFailedResult(m_status.message());
        return *m_value;
    }

    std::optional<T> m_value;
    Status m_status;
};

/// The text shown for an internal inconsistency of the program.
inline std::string internalErrorText(std::string_view message) {
    return "An internal programming error has occured.\r\nPlease tell the code developers.\r\n"
           "The error message is:\r\n" +
           std::string(message);
}

}  // namespace vdln
