// The language text table: texts of the search dialog (and of the wizard) come
// from an INI file beside the running program, section "config", keys "#NNNN".
#pragma once

#include <map>
#include <string>

class CLangText {
public:
    // m_dir is the running program's directory; m_file starts as `file`.
    explicit CLangText(std::string file = std::string());
    virtual ~CLangText() = default;

    // Stores `name` without its surrounding white space. Whether the file
    // exists is not examined.
    void SetLangFile(const std::string& name);
    // The value of `key` in section "config" of m_dir + m_file, at most 255
    // bytes of UTF-8; empty when the file, the section or the key is missing.
    // The file is read on every call.
    std::string GetText(const std::string& key) const;

    std::string m_dir;   // ends with '/'
    std::string m_file;
    // Texts a build carries for some keys itself (the controls' message
    // texts, from their string tables), used in place of the file's.
    std::map<std::string, std::string> m_builtin;
};
