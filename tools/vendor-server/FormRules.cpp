#include "FormRules.h"

#include <QByteArray>
#include <QUtf8StringView>
#include <algorithm>

namespace {

std::string DecodeFormPart(std::string_view part) {
    QByteArray bytes(part.data(), static_cast<qsizetype>(part.size()));
    bytes.replace('+', ' ');
    return QByteArray::fromPercentEncoding(bytes).toStdString();
}

// Overlong forms, surrogates and code points past U+10FFFF are not UTF-8 either.
bool IsUtf8(const std::string& text) {
    return QUtf8StringView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

// The rule's fields are few: a straight search is the fastest there is.
const FieldRule* FindField(const CommandRule& rule, std::string_view name) {
    for (const FieldRule& field : rule.Fields) {
        if (field.Name == name) {
            return &field;
        }
    }
    return nullptr;
}

} // namespace

FormFields ParseFormBody(std::string_view body) {
    FormFields fields;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        const std::string_view pair = body.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos) {
                fields.emplace_back(DecodeFormPart(pair), std::string());
            } else {
                fields.emplace_back(DecodeFormPart(pair.substr(0, equals)),
                                    DecodeFormPart(pair.substr(equals + 1)));
            }
        }
        start = end + 1;
    }
    return fields;
}

const CommandRule& CheckCommand() {
    // The program's own values are short; the caps leave room for any
    // platform's names without letting a field carry a payload.
    static const CommandRule rule{"check",
                                  {{"cmd", 16, true},
                                   {"appname", 256, false},
                                   {"version", 32, false},
                                   {"os", 512, false},
                                   {"local", 64, false},
                                   {"guid", 64, false},
                                   {"howmany", 20, false}}};
    return rule;
}

const CommandRule& FeedbackCommand() {
    // The form holds 10,000 characters of UTF-16: at most 3 bytes each in
    // UTF-8, and a line break (one character) is sent as CR LF (two bytes).
    // The like/dislike phrase with its translated caption comes in front.
    static const CommandRule rule{"feedback",
                                  {{"cmd", 16, true},
                                   {"appname", 256, false},
                                   {"version", 32, false},
                                   {"feedback", 10000 * 3 + 2048, true},
                                   {"email", 256, false}}};
    return rule;
}

std::size_t MaxFormBodyBytes() {
    std::size_t largest = 0;
    for (const CommandRule* rule : {&CheckCommand(), &FeedbackCommand()}) {
        std::size_t bytes = 0;
        for (const FieldRule& field : rule->Fields) {
            bytes += field.Name.size() + 2 + field.MaxBytes * 3; // "=", "&", %XX
        }
        largest = std::max(largest, bytes);
    }
    return largest;
}

std::string RefusalReason(const CommandRule& rule, const FormFields& fields) {
    std::vector<const FieldRule*> seen;
    for (const auto& [name, value] : fields) {
        const FieldRule* field = FindField(rule, name);
        if (!field) {
            return "unknown field";
        }
        if (std::find(seen.begin(), seen.end(), field) != seen.end()) {
            return "repeated field " + std::string(field->Name);
        }
        seen.push_back(field);
        if (value.size() > field->MaxBytes) {
            return "field " + std::string(field->Name) + " too long";
        }
        if (!IsUtf8(value)) {
            return "field " + std::string(field->Name) + " not UTF-8";
        }
    }
    for (const FieldRule& field : rule.Fields) {
        if (field.Required && std::find(seen.begin(), seen.end(), &field) == seen.end()) {
            return "missing field " + std::string(field.Name);
        }
    }
    for (const auto& [name, value] : fields) {
        if (name == "cmd" && value != rule.Command) {
            return "unknown command";
        }
    }
    return std::string();
}
