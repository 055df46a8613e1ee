// Absolute Windows-style paths: "." and ".." resolved against a base that
// starts with a drive letter, without touching the file system. Shift-JIS
// trail bytes equal to '\' stay inside their character.

#include <string>

#include "lib/core/files/file_access.h"
#include "lib/sound/sound.h"
#include "platform/base/text_encoding.h"

namespace velk {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Drops the last component of `out`; never climbs above the drive ("C:").
void RemoveLastComponent(std::string& out) {
    for (size_t i = out.size(); i-- > 0;) {
        const char c = out[i];
        if (c == ':') return;
        if (c == '\\' || c == '/') {
            out.resize(i);
            return;
        }
    }
}

void AddComponent(std::string& out, const std::string& component) {
    if (component == ".") return;
    if (component == "..") {
        RemoveLastComponent(out);
        return;
    }
    out += '\\';
    out += component;
}

}  // namespace

int MakeFullPath(const char* path, std::string* out, const char* base) {
    std::string base_text;
    if (base != nullptr) {
        base_text = base;
    } else {
        FileAccessGetDir(&base_text);
    }
    if (path == nullptr) {
        *out = base_text;
        return 0;
    }
    const std::string text = path;
    size_t k = 0;
    if (!text.empty() && text[0] == '\\') {
        *out = base_text.substr(0, 2);
        k = 1;
    } else if (text.size() >= 2 && text[1] == ':') {
        *out = text.substr(0, 2);
        k = text.size() >= 3 && text[2] == '\\' ? 3 : 2;
    } else {
        *out = base_text;
        if (!out->empty() && IsSeparator(out->back())) out->pop_back();
        k = 0;
    }
    std::string component;
    for (size_t i = k; i < text.size(); ++i) {
        const char c = text[i];
        if (platform::IsShiftJisLeadByte(static_cast<uint8_t>(c)) && i + 1 < text.size()) {
            component += c;
            component += text[++i];
            continue;
        }
        if (!IsSeparator(c)) {
            component += c;
            continue;
        }
        if (component.empty()) return -1;
        AddComponent(*out, component);
        component.clear();
    }
    if (!component.empty()) {
        // A last "." or ".." stays as written.
        *out += '\\';
        *out += component;
    }
    return 0;
}

}  // namespace velk
