// A small JSON writer for "tvsfx info --json": objects, arrays, strings,
// numbers and booleans, indented by two spaces, keys in the order written.
// Strings must be UTF-8; they are escaped as JSON requires and nothing more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class JsonWriter {
public:
    // key is ignored inside arrays and for the outermost value.
    void BeginObject(const char *key = nullptr);
    void EndObject();
    void BeginArray(const char *key = nullptr);
    void EndArray();
    void String(const char *key, const std::string &value);
    void Number(const char *key, uint64_t value);
    void Bool(const char *key, bool value);

    // The document, with a final line end.
    std::string Text() const { return out_ + "\n"; }

private:
    void Close(char closer);
    void Key(const char *key);
    static std::string Quoted(const std::string &text);

    std::string out_;
    std::vector<bool> first_;     // per open container: nothing written in it yet
    std::vector<bool> in_array_;
};
