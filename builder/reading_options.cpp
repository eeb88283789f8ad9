// Command lines of info and verify (see reading_options.h).
#include "reading_options.h"

#include "text_encoding.h"

namespace {

[[noreturn]] void Usage(const std::string &command, const std::string &what)
{
    const char *usage = command == "info"
                            ? "usage: tvsfx info FILE [--json] [--codepage CP]"
                            : "usage: tvsfx verify FILE|DISK1 DISK2... [--password P | --password-file F] [--codepage CP] [--quiet]";
    throw UsageError(what + "; " + usage);
}

}  // namespace

ReadingOptions ParseReadingCommandLine(const std::string &command, const std::vector<std::string> &arguments)
{
    const bool verify = command == "verify";
    ReadingOptions options;
    options.codepage = DEFAULT_CODEPAGE;
    for (size_t next = 0; next < arguments.size();) {
        std::string argument = arguments[next++];
        if (argument.compare(0, 2, "--") != 0 || argument == "--") {
            if (options.file.empty())
                options.file = argument;
            else if (verify)
                options.later_disks.push_back(argument);  // a disk set's folders; RunVerify checks
            else
                Usage(command, "one installer at a time (\"" + argument + "\" is a second)");
            continue;
        }
        std::string name = argument.substr(2);
        std::string value;
        bool has_value = false;
        if (size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            has_value = true;
        }
        const bool is_flag = name == (verify ? "quiet" : "json");
        const bool takes_value = name == "codepage" || (verify && (name == "password" || name == "password-file"));
        if (!is_flag && !takes_value)
            Usage(command, "unknown option --" + name);
        if (is_flag) {
            if (has_value)
                Usage(command, "--" + name + " takes no value");
            (verify ? options.quiet : options.json) = true;
            continue;
        }
        if (!has_value) {
            if (next >= arguments.size())
                Usage(command, "--" + name + " needs a value");
            value = arguments[next++];
        }
        if (name == "codepage")
            options.codepage = value;
        else if (name == "password")
            options.password.text = value;
        else
            options.password.file = value;
    }
    if (options.file.empty())
        Usage(command, "which installer?");
    if (options.password.text && options.password.file)
        Usage(command, "give --password or --password-file, not both");
    return options;
}
