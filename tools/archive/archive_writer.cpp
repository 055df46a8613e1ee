#include "tools/archive/archive_writer.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "lib/core/files/archive_format.h"
#include "platform/base/text_encoding.h"
#include "platform/file/file_time.h"
#include "platform/file/game_name.h"
#include "platform/file/whole_file.h"
#include "tools/archive/archive_encoder.h"

namespace velk::tools {

namespace {

// Folded names in byte order, compared as text: GCC takes the vectors' own
// comparison for a read past the largest object and warns.
struct ByteOrder {
    bool operator()(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) const {
        return std::string_view(reinterpret_cast<const char*>(a.data()), a.size()) <
               std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
    }
};

}  // namespace

struct ArchiveBuilder::Folder {
    std::string name;
    uint64_t time = 0;
    // Keyed by folded name, so entries come out in one order and a second
    // file of the same name replaces the first.
    std::map<std::vector<uint8_t>, std::unique_ptr<Folder>, ByteOrder> folders;
    struct File {
        std::string name;
        std::vector<uint8_t> bytes;
        uint64_t time = 0;
    };
    std::map<std::vector<uint8_t>, File, ByteOrder> files;
};

namespace {

using Folder = ArchiveBuilder::Folder;

std::vector<std::string> SplitNames(std::string_view path) {
    std::vector<std::string> names;
    for (auto& name : platform::SplitGamePath(path)) {
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v));
        out_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void U64(uint64_t v) {
        U32(static_cast<uint32_t>(v));
        U32(static_cast<uint32_t>(v >> 32));
    }
    void Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

private:
    std::vector<uint8_t>& out_;
};

// One row of the file table, before it is written.
struct Row {
    const std::string* name = nullptr;
    uint32_t name_offset = 0;
    bool is_folder = false;
    uint64_t time = 0;
    uint32_t data_position = 0;  // for a folder: its record in the directory table
    uint32_t data_size = 0;
    uint32_t compressed_size = kArchiveNotCompressed;
};

class Layout {
public:
    Layout(const Folder& root, const ArchiveWriterOptions& options) : options_(options) {
        // Folders in breadth-first order; each one's rows follow one another.
        folders_.push_back({&root, kArchiveNoParent, kArchiveNoParent});
        for (size_t f = 0; f < folders_.size(); ++f) {
            const Folder& folder = *folders_[f].folder;
            folders_[f].first_row = rows_.size();
            for (const auto& [key, child] : folder.folders) {
                Row row;
                row.name = &child->name;
                row.is_folder = true;
                row.time = child->time;
                row.data_position = static_cast<uint32_t>(folders_.size() * kArchiveDirectoryRecordSize);
                folders_.push_back({child.get(), static_cast<uint32_t>(f * kArchiveDirectoryRecordSize),
                                    static_cast<uint32_t>(rows_.size() * EntrySize())});
                rows_.push_back(row);
            }
            for (const auto& [key, file] : folder.files) {
                Row row;
                row.name = &file.name;
                row.time = file.time;
                row.data_position = static_cast<uint32_t>(data_.size());
                row.data_size = static_cast<uint32_t>(file.bytes.size());
                AppendData(file.bytes, &row);
                rows_.push_back(row);
            }
            folders_[f].row_count = rows_.size() - folders_[f].first_row;
        }
    }

    std::vector<uint8_t> Write() {
        std::vector<uint8_t> block;
        ByteWriter names(block);
        for (Row& row : rows_) {
            row.name_offset = static_cast<uint32_t>(block.size());
            const FoldedArchiveName folded = FoldArchiveName(*row.name);
            names.U16(static_cast<uint16_t>(folded.word_count()));
            names.U16(folded.check);
            names.Bytes(folded.bytes);
            names.Bytes(std::span(reinterpret_cast<const uint8_t*>(row.name->data()), row.name->size()));
            names.U8(0);
        }
        const uint32_t file_table = static_cast<uint32_t>(block.size());
        ByteWriter table(block);
        for (const Row& row : rows_) {
            table.U32(row.name_offset);
            table.U32(row.is_folder ? kArchiveDirectoryAttribute : 0x20);  // 0x20: an ordinary file
            table.U64(row.time);
            table.U64(row.time);
            table.U64(row.time);
            table.U32(row.data_position);
            table.U32(row.data_size);
            if (options_.version >= 2) {
                table.U32(row.compressed_size);
            }
        }
        const uint32_t directory_table = static_cast<uint32_t>(block.size());
        for (const FolderRecord& folder : folders_) {
            table.U32(folder.own_row);
            table.U32(folder.parent);
            table.U32(static_cast<uint32_t>(folder.row_count));
            table.U32(static_cast<uint32_t>(folder.first_row * EntrySize()));
        }

        std::vector<uint8_t> file;
        ByteWriter header(file);
        header.U16(kArchiveMagic);
        header.U16(options_.version);
        header.U32(static_cast<uint32_t>(block.size()));
        header.U32(static_cast<uint32_t>(kArchiveHeaderSize));
        header.U32(static_cast<uint32_t>(kArchiveHeaderSize + data_.size()));
        header.U32(file_table);
        header.U32(directory_table);
        header.Bytes(data_);
        header.Bytes(block);
        const ArchiveKey key =
            options_.use_second_key ? SecondArchiveKey() : DeriveArchiveKey(options_.key_string);
        ScrambleArchiveBytes(file, 0, key);
        return file;
    }

private:
    struct FolderRecord {
        const Folder* folder;
        uint32_t parent;
        uint32_t own_row;  // the folder's own row in the file table (not read)
        size_t first_row = 0;
        size_t row_count = 0;
    };

    size_t EntrySize() const { return options_.version >= 2 ? kArchiveEntrySizeV2 : kArchiveEntrySizeV1; }

    void AppendData(const std::vector<uint8_t>& bytes, Row* row) {
        const bool may_compress = options_.version >= 2 && options_.compression != ArchiveCompression::kNever;
        if (may_compress) {
            auto coded = EncodeArchiveData(bytes);
            if (options_.compression == ArchiveCompression::kAlways || coded.size() < bytes.size()) {
                row->compressed_size = static_cast<uint32_t>(coded.size());
                data_.insert(data_.end(), coded.begin(), coded.end());
                return;
            }
        }
        data_.insert(data_.end(), bytes.begin(), bytes.end());
    }

    const ArchiveWriterOptions& options_;
    std::vector<FolderRecord> folders_;
    std::vector<Row> rows_;
    std::vector<uint8_t> data_;
};

uint64_t FileTimeOf(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    const auto time = entry.last_write_time(error);
    if (error) {
        return 0;
    }
    const auto system = std::chrono::file_clock::to_sys(time);
    const int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
    return platform::UnixSecondsToFileTime(seconds);
}

}  // namespace

ArchiveBuilder::ArchiveBuilder() : root_(std::make_unique<Folder>()) {}
ArchiveBuilder::~ArchiveBuilder() = default;
ArchiveBuilder::ArchiveBuilder(ArchiveBuilder&&) noexcept = default;
ArchiveBuilder& ArchiveBuilder::operator=(ArchiveBuilder&&) noexcept = default;

Folder* ArchiveBuilder::FolderFor(std::string_view path, bool include_last, uint64_t write_time) {
    const auto names = SplitNames(path);
    Folder* folder = root_.get();
    const size_t count = include_last ? names.size() : (names.empty() ? 0 : names.size() - 1);
    for (size_t i = 0; i < count; ++i) {
        auto& child = folder->folders[FoldArchiveName(names[i]).bytes];
        if (child == nullptr) {
            child = std::make_unique<Folder>();
            child->name = names[i];
            child->time = write_time;
        }
        folder = child.get();
    }
    return folder;
}

void ArchiveBuilder::AddFile(std::string_view path, std::vector<uint8_t> bytes, uint64_t write_time) {
    const auto names = SplitNames(path);
    if (names.empty()) {
        return;
    }
    Folder* folder = FolderFor(path, false, write_time);
    folder->files[FoldArchiveName(names.back()).bytes] = Folder::File{names.back(), std::move(bytes), write_time};
}

void ArchiveBuilder::AddFile(std::string_view path, std::string_view bytes, uint64_t write_time) {
    AddFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()), write_time);
}

void ArchiveBuilder::AddFolder(std::string_view path, uint64_t write_time) { FolderFor(path, true, write_time); }

std::vector<uint8_t> ArchiveBuilder::Build(const ArchiveWriterOptions& options) const {
    return Layout(*root_, options).Write();
}

bool PackFolder(const std::string& native_folder, const std::string& native_archive,
                const ArchiveWriterOptions& options, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code code;
    if (!fs::is_directory(native_folder, code)) {
        *error = native_folder + " is not a folder";
        return false;
    }
    ArchiveBuilder builder;
    fs::recursive_directory_iterator it(native_folder, code);
    if (code) {
        *error = native_folder + ": " + code.message();
        return false;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(code)) {
        if (code) {
            *error = code.message();
            return false;
        }
        const fs::path relative = it->path().lexically_relative(native_folder);
        std::string game_path;
        for (const auto& part : relative) {
            if (!game_path.empty()) {
                game_path += '\\';
            }
            game_path += platform::NativeNameToGameName(part.string());
        }
        if (it->is_directory(code)) {
            builder.AddFolder(game_path, FileTimeOf(*it));
        } else if (it->is_regular_file(code)) {
            auto bytes = platform::ReadWholeFile(it->path().string());
            if (!bytes) {
                *error = "cannot read " + it->path().string();
                return false;
            }
            builder.AddFile(game_path, std::move(*bytes), FileTimeOf(*it));
        }
    }
    const auto archive = builder.Build(options);
    if (!platform::WriteFileAtomically(native_archive, archive)) {
        *error = "cannot write " + native_archive;
        return false;
    }
    return true;
}

}  // namespace velk::tools
