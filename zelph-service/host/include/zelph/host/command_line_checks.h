// command_line_checks.h
//
// The checks of the command-line values made before the configuration is read.
#pragma once

namespace zelph::host {

// Checks the record in a fixed order and throws std::runtime_error with the text of the
// first failed check: the test folder, the home folder and the program file in it, the
// configuration file, the chain file, both delimiters, the chain parameters. Relative paths
// resolve against the working directory (the program's folder). A file-system query that
// fails for another reason than a missing path throws std::filesystem::filesystem_error.
// May rewrite the quoted "params" value (ParseChainParameters).
void ValidateCliArguments();

}  // namespace zelph::host
