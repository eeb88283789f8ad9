// A small JSON writer for "tvsfx info --json": objects, arrays, strings,
// numbers and booleans, indented by two spaces, keys in the order written.
// Strings must be UTF-8; they are escaped as JSON requires and nothing more.
// The document goes out to its stream as it is written, a few KiB at a
// time, so that an installer of a million members never has its whole
// listing in memory at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class JsonWriter {
public:
    explicit JsonWriter(std::FILE *out) : stream_(out) {}
    ~JsonWriter() { Flush(); }
    JsonWriter(const JsonWriter &) = delete;
    JsonWriter &operator=(const JsonWriter &) = delete;

    // key is ignored inside arrays and for the outermost value.
    void BeginObject(const char *key = nullptr);
    void EndObject();
    void BeginArray(const char *key = nullptr);
    void EndArray();
    void String(const char *key, const std::string &value);
    void Number(const char *key, uint64_t value);
    void Bool(const char *key, bool value);

    // Ends the document with a line end and writes what is left of it.
    void Finish();

private:
    void Flush();
    void Close(char closer);
    void Key(const char *key);
    static std::string Quoted(const std::string &text);

    std::FILE *stream_;
    std::string out_;             // written, not yet sent to stream_
    std::vector<bool> first_;     // per open container: nothing written in it yet
    std::vector<bool> in_array_;
};
