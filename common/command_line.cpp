#include "command_line.h"

#include <algorithm>

#include "console.h"
#include "seedbank_version.h"

namespace seedbank {

namespace {

// The first mistake is the one reported.
void refuse(command_line &line, const std::string &reason)
{
    if (line.error.empty())
        line.error = reason;
}

const option_description *find_long(const program_description &program, const std::string &name)
{
    for (const option_description &option : program.options)
        if (option.long_name == name)
            return &option;
    return nullptr;
}

const option_description *find_short(const program_description &program, char name)
{
    for (const option_description &option : program.options)
        if (option.short_name != '\0' && option.short_name == name)
            return &option;
    return nullptr;
}

bool takes_value(const option_description &option)
{
    return !option.value_name.empty();
}

// Reads one "--name", "--name=VALUE" or "--name VALUE" starting at argv[i];
// returns the index of the last word it used.
int read_long_option(const program_description &program, int argc, const char *const *argv, int i,
                     command_line &line)
{
    const std::string word = argv[i];
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const option_description *option = find_long(program, name);
    if (option == nullptr) {
        refuse(line, "unknown option '" + word + "'");
        return i;
    }
    if (!takes_value(*option)) {
        if (equals != std::string::npos)
            refuse(line, "option '--" + name + "' takes no value");
        else
            line.values[name] = "";
        return i;
    }
    if (equals != std::string::npos) {
        line.values[name] = word.substr(equals + 1);
        return i;
    }
    if (i + 1 >= argc) {
        refuse(line, "option '--" + name + "' needs a value");
        return i;
    }
    line.values[name] = argv[i + 1];
    return i + 1;
}

int read_short_option(const option_description &option, int argc, const char *const *argv, int i,
                      command_line &line)
{
    if (!takes_value(option)) {
        line.values[option.long_name] = "";
        return i;
    }
    if (i + 1 >= argc) {
        refuse(line, std::string("option '-") + option.short_name + "' needs a value");
        return i;
    }
    line.values[option.long_name] = argv[i + 1];
    return i + 1;
}

std::string option_label(const option_description &option)
{
    std::string label = option.short_name != '\0' ? std::string("-") + option.short_name + ", " : "    ";
    label += "--" + option.long_name;
    if (takes_value(option))
        label += " " + option.value_name;
    return label;
}

}  // namespace

option_description help_option()
{
    return {'h', "help", "", "print this help and exit"};
}

option_description version_option()
{
    return {'\0', "version", "", "print the version and exit"};
}

option_description quiet_option()
{
    return {'q', "quiet", "", "print no progress; failures are still reported"};
}

std::string command_line::value_or(const std::string &long_name, const std::string &fallback) const
{
    const auto found = values.find(long_name);
    return found == values.end() ? fallback : found->second;
}

command_line parse_command_line(const program_description &program, int argc, const char *const *argv)
{
    command_line line;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (options_ended) {
            line.arguments.push_back(word);
        } else if (word == "--") {
            options_ended = true;
        } else if (word.rfind("--", 0) == 0) {
            i = read_long_option(program, argc, argv, i, line);
        } else if (word.size() == 2 && word[0] == '-' && find_short(program, word[1]) != nullptr) {
            i = read_short_option(*find_short(program, word[1]), argc, argv, i, line);
        } else {
            line.arguments.push_back(word);
        }
    }
    if (line.has("help"))
        line.outcome = command_outcome::help;
    else if (line.has("version"))
        line.outcome = command_outcome::version;
    else if (!line.error.empty() || line.arguments.size() < program.required_arguments)
        line.outcome = command_outcome::usage_error;
    return line;
}

std::string version_text(const program_description &program)
{
    return program.name + " (seedbank) " + SEEDBANK_VERSION + "\n";
}

std::string help_text(const program_description &program)
{
    std::string text = "usage: " + program.name + " [options] " + program.synopsis + "\n\n";
    text += program.description + "\n";
    text += "Options:\n";
    std::size_t width = 0;
    for (const option_description &option : program.options)
        width = std::max(width, option_label(option).size());
    for (const option_description &option : program.options) {
        const std::string label = option_label(option);
        text += "  " + label + std::string(width - label.size() + 2, ' ') + option.help + "\n";
    }
    text += "  --" + std::string(width, ' ') + "ends the options: later words are arguments\n";
    text += "\nExit status:\n" + program.exit_status;
    return text;
}

int finish_early(const program_description &program, const command_line &line)
{
    switch (line.outcome) {
    case command_outcome::help:
        std::fputs(help_text(program).c_str(), stdout);
        return 0;
    case command_outcome::version:
        std::fputs(version_text(program).c_str(), stdout);
        return 0;
    case command_outcome::usage_error:
        if (!line.error.empty())
            std::fprintf(stderr, "%s: %s\n", program.name.c_str(), line.error.c_str());
        std::fputs(program.usage.c_str(), stderr);
        return 1;
    case command_outcome::run:
        break;
    }
    return 0;
}

bool apply_quiet_option(const program_description &program, const command_line &line)
{
    if (!line.has("quiet"))
        return true;
    const std::string reason = silence_progress();
    if (reason.empty())
        return true;
    std::fprintf(stderr, "%s: cannot silence the progress: %s\n", program.name.c_str(), reason.c_str());
    return false;
}

}  // namespace seedbank
