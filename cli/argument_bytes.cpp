#include "cli/argument_bytes.h"

std::string ArgumentBytes(const std::vector<std::string>& args, const QCommandLineOption& option,
                          const QString& value) {
    auto reads = [&](const std::string& bytes) { return QString::fromLocal8Bit(bytes.c_str()) == value; };
    std::string found;
    bool have = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") break;  // the rest are movies
        for (const QString& name : option.names()) {
            const std::string spelled = (name.size() == 1 ? "-" : "--") + name.toStdString();
            std::string candidate;
            bool matched = false;
            if (arg == spelled && i + 1 < args.size()) {
                candidate = args[i + 1];
                matched = true;
            } else if (name.size() == 1 && arg.size() > 2 && arg.compare(0, 2, spelled) == 0 && arg[1] != '-') {
                candidate = arg.substr(2);
                matched = true;
            } else if (name.size() > 1 && arg.compare(0, spelled.size() + 1, spelled + "=") == 0) {
                candidate = arg.substr(spelled.size() + 1);
                matched = true;
            }
            if (matched && reads(candidate)) {
                found = candidate;
                have = true;
            }
        }
    }
    if (have) return found;
    for (size_t i = args.size(); i-- > 1;)
        if (reads(args[i])) return args[i];
    return value.toStdString();
}
