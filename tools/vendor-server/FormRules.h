#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using FormFields = std::vector<std::pair<std::string, std::string>>;

// The fields of an application/x-www-form-urlencoded body in their order,
// "+" and %XX decoded.
FormFields ParseFormBody(std::string_view body);

// A field the program sends, and how many bytes (UTF-8, decoded) its value
// may take.
struct FieldRule {
    std::string_view Name;
    std::size_t MaxBytes;
    bool Required;
};

// What one endpoint accepts: the value of "cmd" and the fields that go with it.
struct CommandRule {
    std::string_view Command;
    std::vector<FieldRule> Fields;
};

// The update check's request: cmd, appname, version, os, local, guid, howmany.
const CommandRule& CheckCommand();
// The feedback form's post: cmd, appname, version, feedback, email.
const CommandRule& FeedbackCommand();

// The largest form body either endpoint takes: every field at its cap, each
// byte percent-encoded, with room for the names and separators.
std::size_t MaxFormBodyBytes();

// Why `fields` cannot be stored as a request of `rule`; empty when they can.
// Only the rule's fields, each at most once and within its cap, in valid
// UTF-8, with every required one present and "cmd" naming the command.
std::string RefusalReason(const CommandRule& rule, const FormFields& fields);
