// keydb's --help text: each option with its value's name only, so that no
// option grows into its description's column; what an option excludes or
// needs is said in its description.
#ifndef KEYDB_HELPFORMATTER_H
#define KEYDB_HELPFORMATTER_H

#include <string>

#include <CLI/CLI.hpp>

class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override {
        std::string text;
        if (option->get_type_size() != 0 && !option->get_type_name().empty()) text = " " + option->get_type_name();
        if (option->get_required()) text += " (required)";
        return text;
    }
};

#endif
