// JSON output (see json_writer.h).
#include "json_writer.h"

#include <cstdio>

namespace {
constexpr size_t FLUSH_BYTES = 1 << 16;
}

void JsonWriter::Flush()
{
    if (!out_.empty())
        std::fwrite(out_.data(), 1, out_.size(), stream_);
    out_.clear();
}

void JsonWriter::Finish()
{
    out_ += "\n";
    Flush();
}

void JsonWriter::Key(const char *key)
{
    if (out_.size() >= FLUSH_BYTES)
        Flush();
    if (!first_.empty()) {
        out_ += first_.back() ? "\n" : ",\n";
        first_.back() = false;
        out_.append(2 * first_.size(), ' ');
        if (!in_array_.back() && key)
            out_ += Quoted(key) + ": ";
    }
}

void JsonWriter::BeginObject(const char *key)
{
    Key(key);
    out_ += "{";
    first_.push_back(true);
    in_array_.push_back(false);
}

void JsonWriter::BeginArray(const char *key)
{
    Key(key);
    out_ += "[";
    first_.push_back(true);
    in_array_.push_back(true);
}

void JsonWriter::EndObject() { Close('}'); }

void JsonWriter::EndArray() { Close(']'); }

// An object or array with members closes on a line of its own.
void JsonWriter::Close(char closer)
{
    const bool empty = first_.back();
    first_.pop_back();
    in_array_.pop_back();
    if (!empty) {
        out_ += "\n";
        out_.append(2 * first_.size(), ' ');
    }
    out_ += closer;
}

void JsonWriter::String(const char *key, const std::string &value)
{
    Key(key);
    out_ += Quoted(value);
}

void JsonWriter::Number(const char *key, uint64_t value)
{
    Key(key);
    out_ += std::to_string(value);
}

void JsonWriter::Bool(const char *key, bool value)
{
    Key(key);
    out_ += value ? "true" : "false";
}

std::string JsonWriter::Quoted(const std::string &text)
{
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(c));
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}
