#include "cli/argument_bytes.h"

std::string ArgumentBytes(const std::vector<std::string>& args, const QString& value) {
    auto matches = [&](const std::string& bytes) { return QString::fromLocal8Bit(bytes.c_str()) == value; };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (matches(arg)) return arg;
        if (arg.rfind("--", 0) == 0) {
            const size_t equals = arg.find('=');
            if (equals != std::string::npos && matches(arg.substr(equals + 1))) return arg.substr(equals + 1);
        } else if (arg.size() > 2 && arg[0] == '-' && matches(arg.substr(2))) {
            return arg.substr(2);
        }
    }
    return value.toStdString();
}
