#include "platform/font/font_face_catalog.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <mutex>

#include "platform/base/text_encoding.h"

namespace velk::platform {

namespace {

std::mutex catalog_mutex;

std::string FoldAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The platform's own Japanese faces, which games name without shipping them,
// and the installed faces of the same design that stand in for them.
struct SystemFaceAlias {
    const char* requested;  // UTF-8
    const char* served_by;
};
constexpr SystemFaceAlias kSystemFaceAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
    {"MS UI Gothic", "IPAPGothic"},    {"メイリオ", "IPAPGothic"},
    {"Meiryo", "IPAPGothic"},          {"ＭＳ 明朝", "IPAMincho"},
    {"MS Mincho", "IPAMincho"},        {"ＭＳ Ｐ明朝", "IPAPMincho"},
    {"MS PMincho", "IPAPMincho"},
};

int ToOpenTypeWeight(int fontconfig_weight) {
    const double weight = FcWeightToOpenTypeDouble(static_cast<double>(fontconfig_weight));
    return weight > 0 ? static_cast<int>(weight) : 400;
}

}  // namespace

FontFaceCatalog& FontFaceCatalog::Instance() {
    static FontFaceCatalog catalog;
    return catalog;
}

namespace {

// One face as fontconfig describes it; nullopt for a pattern without a name.
std::optional<FontFaceCatalog::Face> FaceFromPattern(FcPattern* pattern, const std::string& file, bool is_private) {
    FontFaceCatalog::Face face;
    face.is_private = is_private;
    face.location.file = file;
    int index = 0;
    FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
    face.location.index = index & 0xFFFF;  // named instances of variable fonts are not told apart
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
    face.location.weight = ToOpenTypeWeight(weight);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
    face.location.italic = slant != FC_SLANT_ROMAN;
    FcChar8* value = nullptr;
    for (int n = 0; FcPatternGetString(pattern, FC_FAMILY, n, &value) == FcResultMatch; ++n) {
        face.names_utf8.emplace_back(reinterpret_cast<const char*>(value));
    }
    for (int n = 0; FcPatternGetString(pattern, FC_FULLNAME, n, &value) == FcResultMatch; ++n) {
        face.names_utf8.emplace_back(reinterpret_cast<const char*>(value));
    }
    if (face.names_utf8.empty()) {
        return std::nullopt;
    }
    face.display_name_utf8 = face.names_utf8.front();
    if (FcPatternGetString(pattern, FC_FONTFORMAT, 0, &value) == FcResultMatch) {
        const std::string format(reinterpret_cast<const char*>(value));
        face.truetype = format == "TrueType" || format == "CFF";
    }
    FcLangSet* languages = nullptr;
    if (FcPatternGetLangSet(pattern, FC_LANG, 0, &languages) == FcResultMatch) {
        face.japanese = FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
    }
    return face;
}

}  // namespace

std::vector<FontFaceCatalog::Face> FontFaceCatalog::QueryFile(const std::string& native_path, bool is_private) {
    std::vector<Face> faces;
    FcFontSet* set = FcFontSetCreate();
    FcFreeTypeQueryAll(reinterpret_cast<const FcChar8*>(native_path.c_str()), -1, nullptr, nullptr, set);
    for (int i = 0; i < set->nfont; ++i) {
        if (auto face = FaceFromPattern(set->fonts[i], native_path, is_private)) {
            faces.push_back(std::move(*face));
        }
    }
    FcFontSetDestroy(set);
    return faces;
}

void FontFaceCatalog::LoadInstalledFaces() {
    if (installed_loaded_) {
        return;
    }
    installed_loaded_ = true;
    FcInit();
    // The installed faces come from fontconfig's cache: listing them costs
    // no font file reads.
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_FULLNAME, FC_WEIGHT, FC_SLANT,
                                            FC_FONTFORMAT, FC_LANG, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    if (set != nullptr) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) {
                continue;
            }
            if (auto face = FaceFromPattern(set->fonts[i], reinterpret_cast<const char*>(file), false)) {
                faces_.push_back(std::move(*face));
            }
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    // A stable order whatever order fontconfig lists in.
    std::stable_sort(faces_.begin(), faces_.end(), [](const Face& a, const Face& b) {
        return a.location.file != b.location.file ? a.location.file < b.location.file
                                                  : a.location.index < b.location.index;
    });
}

int FontFaceCatalog::AddFontFile(const std::string& native_path) {
    std::lock_guard lock(catalog_mutex);
    auto faces = QueryFile(native_path, true);
    const int added = static_cast<int>(faces.size());
    // Private faces come first so a game's own font wins over an installed
    // face of the same name.
    faces_.insert(faces_.begin(), std::make_move_iterator(faces.begin()), std::make_move_iterator(faces.end()));
    return added;
}

bool FontFaceCatalog::RemoveFontFile(const std::string& native_path) {
    std::lock_guard lock(catalog_mutex);
    const auto before = faces_.size();
    std::erase_if(faces_, [&](const Face& face) { return face.is_private && face.location.file == native_path; });
    return faces_.size() != before;
}

std::optional<FontFaceLocation> FontFaceCatalog::FindUtf8(const std::string& utf8_name) {
    const std::string wanted = FoldAscii(utf8_name);
    // Prefer the upright, regular face of a family; the synthetic styles are
    // made from it.
    const Face* best = nullptr;
    for (const auto& face : faces_) {
        const bool named = std::any_of(face.names_utf8.begin(), face.names_utf8.end(),
                                       [&](const std::string& name) { return FoldAscii(name) == wanted; });
        if (!named) {
            continue;
        }
        const auto score = [](const Face& f) { return (f.location.italic ? 1000 : 0) + std::abs(f.location.weight - 400); };
        if (best == nullptr || score(face) < score(*best)) {
            best = &face;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->location;
}

std::optional<FontFaceLocation> FontFaceCatalog::Find(const std::string& sjis_name) {
    std::lock_guard lock(catalog_mutex);
    LoadInstalledFaces();
    const std::string utf8 = ShiftJisToUtf8(sjis_name);
    if (auto found = FindUtf8(utf8)) {
        return found;
    }
    for (const auto& alias : kSystemFaceAliases) {
        if (FoldAscii(alias.requested) == FoldAscii(utf8)) {
            auto served = FindUtf8(alias.served_by);
            if (served) {
                served->em_fills_cell = true;
            }
            return served;
        }
    }
    return std::nullopt;
}

std::optional<FontFaceLocation> FontFaceCatalog::Fallback(FallbackStyle style) {
    std::lock_guard lock(catalog_mutex);
    LoadInstalledFaces();
    auto fallback = FallbackFace(style);
    if (fallback) {
        // The platform maps unknown faces of Japanese text onto its system
        // faces; ours stand in for those.
        fallback->em_fills_cell = true;
    }
    return fallback;
}

std::optional<FontFaceLocation> FontFaceCatalog::FallbackFace(FallbackStyle style) {
    if (style == FallbackStyle::kMincho) {
        if (auto found = FindUtf8("IPAMincho")) return found;
    }
    if (auto found = FindUtf8("IPAGothic")) return found;
    for (const auto& face : faces_) {
        if (face.japanese && !face.location.italic) return face.location;
    }
    if (auto found = FindUtf8("DejaVu Sans")) return found;
    if (!faces_.empty()) return faces_.front().location;
    return std::nullopt;
}

std::vector<FontFaceInfo> FontFaceCatalog::List() {
    std::lock_guard lock(catalog_mutex);
    LoadInstalledFaces();
    std::vector<FontFaceInfo> list;
    std::vector<std::string> seen;
    for (const auto& face : faces_) {
        if (std::find(seen.begin(), seen.end(), face.display_name_utf8) != seen.end()) {
            continue;
        }
        seen.push_back(face.display_name_utf8);
        list.push_back({Utf8ToShiftJis(face.display_name_utf8), face.truetype, face.japanese});
        // Japanese faces are also listed by their Japanese family name, as the
        // platform lists them in both languages.
        for (const auto& name : face.names_utf8) {
            const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
            if (!ascii && std::find(seen.begin(), seen.end(), name) == seen.end()) {
                seen.push_back(name);
                list.push_back({Utf8ToShiftJis(name), face.truetype, face.japanese});
            }
        }
    }
    return list;
}

}  // namespace velk::platform
