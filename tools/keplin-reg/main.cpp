// keplin-reg: shows and removes what the kit registered in the registry store.
//
//   keplin-reg query KEY [--recursive] [--format text|json]
//   keplin-reg delete KEY [--tree]
//   keplin-reg export [KEY]
//
// Exit status: 0 success, 1 the key does not exist, 2 bad arguments, 3 the
// store could not be read or written (locked, read-only, damaged).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "platform/registry.h"

using namespace platform;

namespace {

enum ExitStatus { kSuccess = 0, kNoKey = 1, kBadArguments = 2, kStoreError = 3 };

struct Value {
    std::string name;
    RegistryValue value;
};

struct Key {
    std::string path;
    std::vector<Value> values;
    std::vector<Key> subkeys;      // filled when read recursively
    std::vector<std::string> names;  // direct subkey names
};

class Failure {
public:
    Failure(std::string path, LSTATUS status) : path(std::move(path)), status(status) {}
    std::string path;
    LSTATUS status;
};

// Reads `path` with its values and subkey names; with `depth` > 0 also the
// subkeys, that many levels down.
Key Read(const std::string& path, int depth) {
    HKEY handle = nullptr;
    LSTATUS status = RegOpenPath(path, KEY_READ, &handle);
    if (status != ERROR_SUCCESS) throw Failure(path, status);
    Key key;
    key.path = RegKeyPath(handle);
    std::string name;
    RegistryValue value;
    for (DWORD i = 0; (status = RegEnumValue(handle, i, &name, &value)) == ERROR_SUCCESS; ++i)
        key.values.push_back({name, value});
    if (status == ERROR_NO_MORE_ITEMS) {
        for (DWORD i = 0; (status = RegEnumKey(handle, i, &name)) == ERROR_SUCCESS; ++i) key.names.push_back(name);
    }
    RegCloseKey(handle);
    if (status != ERROR_NO_MORE_ITEMS) throw Failure(path, status);
    if (depth > 0) {
        for (const auto& sub : key.names) key.subkeys.push_back(Read(key.path + "\\" + sub, depth - 1));
    }
    return key;
}

const char* TypeName(DWORD type) { return type == REG_DWORD ? "REG_DWORD" : "REG_SZ"; }

std::string Data(const RegistryValue& value) {
    if (value.type != REG_DWORD) return value.text;
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value.number);
    return text;
}

void PrintText(const Key& key, bool recursive) {
    std::cout << key.path << "\n";
    for (const auto& entry : key.values) {
        std::cout << "    " << (entry.name.empty() ? "(Default)" : entry.name) << "    " << TypeName(entry.value.type)
                  << "    " << Data(entry.value) << "\n";
    }
    std::cout << "\n";
    if (recursive) {
        for (const auto& sub : key.subkeys) PrintText(sub, true);
    } else {
        for (const auto& name : key.names) std::cout << key.path << "\\" << name << "\n";
    }
}

nlohmann::json ToJson(const Key& key, bool recursive) {
    nlohmann::json values = nlohmann::json::array();
    for (const auto& entry : key.values) {
        nlohmann::json value = {{"name", entry.name}, {"type", TypeName(entry.value.type)}};
        if (entry.value.type == REG_DWORD) {
            value["data"] = entry.value.number;
        } else {
            value["data"] = entry.value.text;
        }
        values.push_back(value);
    }
    nlohmann::json subkeys = nlohmann::json::array();
    if (recursive) {
        for (const auto& sub : key.subkeys) subkeys.push_back(ToJson(sub, true));
    } else {
        for (const auto& name : key.names) subkeys.push_back(name);
    }
    return {{"path", key.path}, {"values", values}, {"subkeys", subkeys}};
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

void PrintExport(const Key& key) {
    std::cout << "[" << key.path << "]\n";
    for (const auto& entry : key.values) {
        std::cout << (entry.name.empty() ? "@" : Quoted(entry.name)) << "=";
        if (entry.value.type == REG_DWORD) {
            char text[20];
            std::snprintf(text, sizeof text, "dword:%08x", entry.value.number);
            std::cout << text << "\n";
        } else {
            std::cout << Quoted(entry.value.text) << "\n";
        }
    }
    std::cout << "\n";
    for (const auto& sub : key.subkeys) PrintExport(sub);
}

int Report(const Failure& failure) {
    std::cerr << "keplin-reg: " << failure.path << ": " << RegErrorText(failure.status) << "\n";
    return failure.status == ERROR_FILE_NOT_FOUND ? kNoKey : kStoreError;
}

int Delete(const std::string& path, bool tree) {
    const auto slash = path.rfind('\\');
    if (slash == std::string::npos) {
        std::cerr << "keplin-reg: " << path << ": a root key cannot be deleted\n";
        return kBadArguments;
    }
    HKEY parent = nullptr;
    LSTATUS status = RegOpenPath(path.substr(0, slash), KEY_ALL_ACCESS, &parent);
    if (status == ERROR_SUCCESS) {
        const std::string name = path.substr(slash + 1);
        status = tree ? RegDeleteTree(parent, name) : RegDeleteKey(parent, name);
        RegCloseKey(parent);
    }
    if (status == ERROR_ACCESS_DENIED && !tree) {
        std::cerr << "keplin-reg: " << path << ": the key has subkeys (use --tree) or cannot be changed here\n";
        return kStoreError;
    }
    if (status != ERROR_SUCCESS) {
        std::cerr << "keplin-reg: " << path << ": " << RegErrorText(status) << "\n";
        return status == ERROR_FILE_NOT_FOUND ? kNoKey : kStoreError;
    }
    return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Shows and removes keys of the kit's registry store (" + RegistryStorePath() + ").", "keplin-reg"};
    app.require_subcommand(1);
    app.footer(
        "Keys are paths such as 'HKEY_CLASSES_ROOT\\CLSID' (or 'HKCR\\CLSID'); quote them in the shell.\n"
        "KEPLIN_REGISTRY names another store.\n\n"
        "Exit status: 0 success, 1 no such key, 2 bad arguments, 3 the store could not be read or written.");

    std::string key_path;
    bool recursive = false;
    std::string format = "text";
    CLI::App* query = app.add_subcommand("query", "Show a key's values and subkeys");
    query->add_option("KEY", key_path, "The key")->required();
    query->add_flag("--recursive,-r", recursive, "Show every key below it too");
    query->add_option("--format", format, "Output format")->check(CLI::IsMember({"text", "json"}))->capture_default_str();

    bool tree = false;
    CLI::App* remove = app.add_subcommand("delete", "Delete a key (with --tree, everything below it too)");
    remove->add_option("KEY", key_path, "The key")->required();
    remove->add_flag("--tree", tree, "Delete the key's subkeys as well");

    std::string export_path = "HKEY_CLASSES_ROOT";
    CLI::App* dump = app.add_subcommand("export", "Write a key and everything below it in registration-file form");
    dump->add_option("KEY", export_path, "The key")->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kSuccess : kBadArguments;
    }

    try {
        if (*query) {
            const Key key = Read(key_path, recursive ? 1 << 20 : 0);
            if (format == "json") {
                std::cout << ToJson(key, recursive).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
            } else {
                PrintText(key, recursive);
            }
            return kSuccess;
        }
        if (*remove) return Delete(key_path, tree);
        std::cout << "Registry Editor Version 5.00\n\n";
        PrintExport(Read(export_path, 1 << 20));
        return kSuccess;
    } catch (const Failure& failure) {
        return Report(failure);
    }
}
