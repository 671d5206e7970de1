// The shipped udev rule, read the way udev reads it. Debian 12's udevadm has no
// "verify", so the grammar is checked here: a rule that fails to parse is skipped by
// udev without a word, and one that matches too widely opens other people's devices.

#include "device/usb_ids.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Field {
    std::string key; // "ATTRS{idVendor}" keeps its attribute
    std::string op;  // == != = += -= :=
    std::string value;
};

struct Rule {
    int line = 0;
    std::vector<Field> fields;
};

bool isMatchOp(const std::string& op)
{
    return op == "==" || op == "!=";
}

// Keys that only match and keys that only assign; the rule may use only these.
const std::set<std::string> kMatchKeys{"ACTION",  "SUBSYSTEM", "SUBSYSTEMS", "KERNEL",
                                       "KERNELS", "DRIVER",    "DRIVERS",    "ATTR",
                                       "ATTRS",   "ENV",       "TAG"};
const std::set<std::string> kAssignKeys{"TAG",   "MODE", "GROUP", "OWNER",  "GOTO",
                                        "LABEL", "RUN",  "ENV",   "SYMLINK"};

std::string baseKey(const std::string& key)
{
    return key.substr(0, key.find('{'));
}

// One rule line, or an error naming what is wrong with it.
std::optional<Rule> parseLine(const std::string& text, int line, std::string& error)
{
    Rule rule;
    rule.line = line;
    std::size_t at = 0;
    auto skipSpace = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
    };
    while (true) {
        skipSpace();
        Field field;
        const std::size_t keyStart = at;
        while (at < text.size() &&
               (std::isupper(static_cast<unsigned char>(text[at])) || text[at] == '_'))
            ++at;
        if (at < text.size() && text[at] == '{') {
            const std::size_t close = text.find('}', at);
            if (close == std::string::npos) {
                error = "unclosed attribute";
                return std::nullopt;
            }
            at = close + 1;
        }
        field.key = text.substr(keyStart, at - keyStart);
        if (field.key.empty()) {
            error = "expected a key";
            return std::nullopt;
        }
        skipSpace();
        for (const char* op : {"==", "!=", "+=", "-=", ":=", "="}) {
            if (text.compare(at, std::char_traits<char>::length(op), op) == 0) {
                field.op = op;
                at += field.op.size();
                break;
            }
        }
        if (field.op.empty()) {
            error = "expected an operator after " + field.key;
            return std::nullopt;
        }
        skipSpace();
        if (at >= text.size() || text[at] != '"') {
            error = "value of " + field.key + " is not quoted";
            return std::nullopt;
        }
        const std::size_t close = text.find('"', at + 1);
        if (close == std::string::npos) {
            error = "unterminated value of " + field.key;
            return std::nullopt;
        }
        field.value = text.substr(at + 1, close - at - 1);
        at = close + 1;
        const auto& allowed = isMatchOp(field.op) ? kMatchKeys : kAssignKeys;
        if (!allowed.contains(baseKey(field.key))) {
            error = field.key + field.op + " is not a " +
                    (isMatchOp(field.op) ? "match" : "assignment");
            return std::nullopt;
        }
        rule.fields.push_back(field);
        skipSpace();
        if (at >= text.size())
            return rule;
        if (text[at] != ',') {
            error = "expected ',' after " + field.key;
            return std::nullopt;
        }
        ++at;
    }
}

struct RuleFile {
    std::vector<Rule> rules;
    std::vector<std::string> errors;
};

RuleFile parseRules(std::istream& in)
{
    RuleFile file;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#')
            continue;
        if (text.back() == '\\') {
            file.errors.push_back(std::to_string(line) + ": continued lines are not used here");
            continue;
        }
        std::string error;
        if (auto rule = parseLine(text, line, error))
            file.rules.push_back(*rule);
        else
            file.errors.push_back(std::to_string(line) + ": " + error);
    }
    return file;
}

RuleFile shippedRules()
{
    std::ifstream in(std::string(HALVEK_SOURCE_DIR) + "/packaging/udev/70-halvek.rules");
    EXPECT_TRUE(in.good()) << "packaging/udev/70-halvek.rules is missing";
    return parseRules(in);
}

const Field* find(const Rule& rule, const std::string& key, const std::string& op)
{
    for (const auto& field : rule.fields) {
        if (field.key == key && field.op == op)
            return &field;
    }
    return nullptr;
}

std::string hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

// The supported devices of other vendors: their vendor ids are shared with other products,
// so only these exact pairs may be opened.
const std::set<std::pair<std::string, std::string>> kOtherVendorPairs{
    {hex4(usb::kHeadsetVendorId), hex4(usb::kHeadsetProductId)},
};

TEST(UdevRule, EveryLineParses)
{
    const auto file = shippedRules();
    for (const auto& error : file.errors)
        ADD_FAILURE() << error;
    EXPECT_FALSE(file.rules.empty());
}

TEST(UdevRule, GrantsAccessToEverySupportedDeviceAndNothingElse)
{
    int makerRules = 0;
    std::set<std::pair<std::string, std::string>> pairs;
    for (const auto& rule : shippedRules().rules) {
        const bool grants = find(rule, "TAG", "+=") || find(rule, "MODE", "=") ||
                            find(rule, "GROUP", "=") || find(rule, "OWNER", "=") ||
                            find(rule, "RUN", "+=");
        if (!grants)
            continue;
        const auto* subsystem = find(rule, "SUBSYSTEM", "==");
        const auto* vendor = find(rule, "ATTRS{idVendor}", "==");
        ASSERT_TRUE(subsystem && vendor) << "line " << rule.line << " matches too widely";
        EXPECT_EQ(subsystem->value, "hidraw") << "line " << rule.line;
        // No glob: the values are the ids, as sysfs writes them.
        if (vendor->value == hex4(usb::kHalvekVendorId)) {
            ++makerRules;
        } else {
            const auto* product = find(rule, "ATTRS{idProduct}", "==");
            ASSERT_NE(product, nullptr) << "line " << rule.line << " opens a whole shared vendor";
            EXPECT_TRUE(kOtherVendorPairs.contains({vendor->value, product->value}))
                << "line " << rule.line << " opens an unsupported device";
            pairs.insert({vendor->value, product->value});
        }
        // The seat's user gets access through the tag; nothing is opened to everyone.
        const auto* tag = find(rule, "TAG", "+=");
        ASSERT_NE(tag, nullptr) << "line " << rule.line;
        EXPECT_EQ(tag->value, "uaccess");
        EXPECT_FALSE(find(rule, "MODE", "=") || find(rule, "GROUP", "=") ||
                     find(rule, "OWNER", "=") || find(rule, "RUN", "+="))
            << "line " << rule.line << " does more than tag";
    }
    EXPECT_EQ(makerRules, 1);
    EXPECT_EQ(pairs, kOtherVendorPairs) << "a supported device stays root-only";
}

TEST(UdevRule, EveryJumpHasItsLabel)
{
    std::set<std::string> labels;
    std::set<std::string> jumps;
    for (const auto& rule : shippedRules().rules) {
        if (const auto* label = find(rule, "LABEL", "="))
            labels.insert(label->value);
        if (const auto* jump = find(rule, "GOTO", "="))
            jumps.insert(jump->value);
    }
    for (const auto& jump : jumps)
        EXPECT_TRUE(labels.contains(jump)) << "GOTO " << jump << " has no LABEL";
}

TEST(UdevRule, ParserRefusesMistakesUdevWouldSkip)
{
    const std::vector<std::string> bad{
        R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}==36b0, TAG+="uaccess")", // unquoted
        R"(SUBSYSTEM="hidraw", TAG+="uaccess")", // assignment to a match key
        R"(SUBSYSTEM=="hidraw" TAG+="uaccess")", // missing comma
        R"(SUBSYSTEM=="hidraw", TAG+="uaccess)", // unterminated
        R"(SUBSYSTEM=="hidraw", MODE=="0666")",  // match on an assignment key
        R"(SUBSYSTEM=="hidraw", ATTRS{idVendor=="36b0")",
    };
    for (const auto& line : bad) {
        std::istringstream in(line);
        EXPECT_EQ(parseRules(in).errors.size(), 1u) << line;
    }
    std::istringstream good(R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="36b0", TAG+="uaccess")");
    EXPECT_TRUE(parseRules(good).errors.empty());
}

} // namespace
