#pragma once
// File names on Linux are bytes, not text: a name that is not valid UTF-8
// survives the command-line parser only as replacement characters. The bytes
// as typed are found again in the program's arguments.
#include <QString>
#include <string>
#include <vector>

// The bytes of `args` (argv, the program first) that the parser read as
// `value`: a whole argument, the part after "=" of "--name=value", or the part
// after a short option's letter ("-Ovalue"). The value's UTF-8 when none matches.
std::string ArgumentBytes(const std::vector<std::string>& args, const QString& value);
