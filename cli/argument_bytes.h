#pragma once
// File names on Linux are bytes, not text: a name that is not valid UTF-8
// survives the command-line parser only as replacement characters. The bytes
// as typed are found again in the program's arguments.
#include <QCommandLineOption>
#include <QString>
#include <string>
#include <vector>

// The bytes of `args` (argv, the program first) that the parser read as
// `value` for `option`: the last of "-o VALUE", "-oVALUE", "--name VALUE" and
// "--name=VALUE", as the parser takes the last. Where none of those reads as
// `value` (options run together), the last whole argument that does; else the
// value's UTF-8.
std::string ArgumentBytes(const std::vector<std::string>& args, const QCommandLineOption& option,
                          const QString& value);
