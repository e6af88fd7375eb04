// Test tooling: a ZVA archive writer. Folders come from the members' paths;
// entries are listed in each folder by name without case, as a plain folder
// lists them. Packing uses a greedy LZ search with hash chains.
#include "support/archive_writer.h"

#include "core/file/archive.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace {

void PutU16(std::string& s, std::size_t at, std::uint32_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void AppendU32(std::string& s, std::uint32_t v)
{
    s.resize(s.size() + 4);
    PutU32(s, s.size() - 4, v);
}

std::string Upper(const std::string& name)
{
    std::string out = name;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < out.size()) ++i;
        else if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
    }
    return out;
}

struct Node {
    std::string Name;
    bool Folder = false;
    const ArchiveMember* Member = nullptr;
    std::vector<std::unique_ptr<Node>> Children;
    std::uint32_t FolderOffset = 0;   // in the folder table
    std::uint32_t EntryOffset = 0;    // in the file table
};

Node* Child(Node* parent, const std::string& name, bool folder)
{
    for (auto& c : parent->Children) {
        if (c->Name == name) return c.get();
    }
    parent->Children.push_back(std::make_unique<Node>());
    parent->Children.back()->Name = name;
    parent->Children.back()->Folder = folder;
    return parent->Children.back().get();
}

} // namespace

std::string PackArchiveLz(const std::string& data)
{
    // The key byte is the rarest byte, so few literals need escaping.
    std::uint32_t counts[256] = {};
    for (unsigned char c : data) ++counts[c];
    const std::uint8_t key = static_cast<std::uint8_t>(std::min_element(counts, counts + 256) - counts);

    std::string out(9, '\0');
    PutU32(out, 0, static_cast<std::uint32_t>(data.size()));
    out[8] = static_cast<char>(key);
    const std::size_t n = data.size();
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    std::vector<std::int64_t> head(1 << 16, -1), prev(n, -1);
    auto hash = [&](std::size_t i) { return ((p[i] << 8) ^ (p[i + 1] << 4) ^ p[i + 2] ^ (p[i + 3] << 12)) & 0xFFFF; };
    auto insert = [&](std::size_t i) {
        if (i + 4 > n) return;
        const auto h = hash(i);
        prev[i] = head[h];
        head[h] = static_cast<std::int64_t>(i);
    };
    std::size_t i = 0;
    while (i < n) {
        std::size_t bestLen = 0, bestDist = 0;
        if (i + 4 <= n) {
            std::int64_t cand = head[hash(i)];
            for (int depth = 0; cand >= 0 && depth < 48; ++depth, cand = prev[cand]) {
                const std::size_t dist = i - static_cast<std::size_t>(cand);
                if (dist > (1u << 24)) break;
                std::size_t len = 0;
                const std::size_t limit = std::min<std::size_t>(n - i, 8195);
                while (len < limit && p[cand + len] == p[i + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestDist = dist;
                }
            }
        }
        if (bestLen >= 4) {
            const std::uint32_t len = static_cast<std::uint32_t>(bestLen - 4);
            const std::uint32_t field = static_cast<std::uint32_t>(bestDist - 1);
            const unsigned bytes = field < 0x100 ? 1 : field < 0x10000 ? 2 : 3;
            std::uint32_t code = ((len & 31) << 3) | (len > 31 ? 4 : 0) | (bytes - 1);
            if (code >= key) ++code;  // the code byte never equals the key byte
            out += static_cast<char>(key);
            out += static_cast<char>(code);
            if (len > 31) out += static_cast<char>(len >> 5);
            for (unsigned b = 0; b < bytes; ++b) out += static_cast<char>((field >> (8 * b)) & 0xFF);
            for (std::size_t k = 0; k < bestLen; ++k) insert(i + k);
            i += bestLen;
        } else {
            if (p[i] == key) out += static_cast<char>(key);
            out += static_cast<char>(p[i]);
            insert(i);
            ++i;
        }
    }
    PutU32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

void ScrambleArchive(std::string& bytes, bool secondKey)
{
    std::uint8_t key[ARCHIVE_KEY_SIZE];
    if (secondKey) GetSecondArchiveKey(key);
    else DeriveArchiveKey(nullptr, key);
    XorWithArchiveKey(static_cast<std::uint32_t>(bytes.size()), bytes.data(), 0, key);
}

std::string BuildArchive(const std::vector<ArchiveMember>& members, const ArchiveOptions& options)
{
    Node root;
    root.Folder = true;
    for (const ArchiveMember& m : members) {
        Node* at = &root;
        std::size_t start = 0;
        for (;;) {
            std::size_t end = start;
            while (end < m.Path.size() && m.Path[end] != '\\') {
                const unsigned char c = static_cast<unsigned char>(m.Path[end]);
                end += ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
            }
            const std::string name = m.Path.substr(start, end - start);
            if (end >= m.Path.size()) {
                if (!name.empty()) Child(at, name, false)->Member = &m;
                break;
            }
            at = Child(at, name, true);
            start = end + 1;
        }
    }

    // Data first, after the header; every member's offset is relative to it.
    const std::uint32_t dataOffset = ARCHIVE_HEADER_SIZE;
    std::string file(ARCHIVE_HEADER_SIZE, '\0');
    std::map<const ArchiveMember*, std::pair<std::uint32_t, std::uint32_t>> placed;  // offset, packed size
    for (const ArchiveMember& m : members) {
        const bool pack = m.Packed && options.Version >= 2;
        const std::string body = pack ? PackArchiveLz(m.Data) : m.Data;
        placed[&m] = {static_cast<std::uint32_t>(file.size() - dataOffset),
                      pack ? static_cast<std::uint32_t>(body.size()) : ARCHIVE_STORED};
        file += body;
    }

    // Folders breadth first; each folder's entries follow each other, sorted.
    std::vector<Node*> folders{&root};
    for (std::size_t f = 0; f < folders.size(); ++f) {
        auto& kids = folders[f]->Children;
        std::sort(kids.begin(), kids.end(), [](const auto& a, const auto& b) {
            const std::string ua = Upper(a->Name), ub = Upper(b->Name);
            return ua != ub ? ua < ub : a->Name < b->Name;
        });
        for (auto& k : kids) {
            if (k->Folder) folders.push_back(k.get());
        }
    }
    const std::uint32_t entrySize = options.Version >= 2 ? 44 : 40;
    std::string names, entries, folderTable;
    std::map<Node*, Node*> parentOf;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        folders[f]->FolderOffset = static_cast<std::uint32_t>(f * ARCHIVE_FOLDER_SIZE);
        for (auto& k : folders[f]->Children) parentOf[k.get()] = folders[f];
    }
    for (Node* folder : folders) {
        const std::uint32_t first = static_cast<std::uint32_t>(entries.size());
        AppendU32(folderTable, folder->EntryOffset);
        AppendU32(folderTable, folder == &root ? ARCHIVE_NO_PARENT : parentOf[folder]->FolderOffset);
        AppendU32(folderTable, static_cast<std::uint32_t>(folder->Children.size()));
        AppendU32(folderTable, first);
        for (auto& k : folder->Children) {
            k->EntryOffset = static_cast<std::uint32_t>(entries.size());
            SEARCHNAME search;
            MakeArchiveSearchName(k->Name.c_str(), &search, nullptr);
            const std::uint32_t nameOffset = static_cast<std::uint32_t>(names.size());
            std::string record(4, '\0');
            PutU16(record, 0, search.WordCount);
            PutU16(record, 2, search.Checksum);
            record.append(reinterpret_cast<const char*>(search.Name), 4u * search.WordCount);
            record += k->Name;
            record += '\0';
            while (record.size() % 4) record += '\0';
            names += record;

            std::string e(entrySize, '\0');
            PutU32(e, 0, nameOffset);
            PutU32(e, 4, k->Folder ? 0x10 : 0x20);
            const std::uint64_t t = k->Member != nullptr ? k->Member->WriteTime : 0;
            for (int at : {8, 16, 24}) {
                PutU32(e, at, static_cast<std::uint32_t>(t));
                PutU32(e, at + 4, static_cast<std::uint32_t>(t >> 32));
            }
            if (k->Folder) {
                PutU32(e, 32, 0);  // patched below, once the folder's offset is known
                PutU32(e, 36, 0);
                if (entrySize == 44) PutU32(e, 40, ARCHIVE_STORED);
            } else {
                PutU32(e, 32, placed[k->Member].first);
                PutU32(e, 36, static_cast<std::uint32_t>(k->Member->Data.size()));
                if (entrySize == 44) PutU32(e, 40, placed[k->Member].second);
            }
            entries += e;
        }
    }
    for (Node* folder : folders) {
        for (auto& k : folder->Children) {
            if (k->Folder) PutU32(entries, k->EntryOffset + 32, k->FolderOffset);
        }
    }
    // The folder records' first word names the folder's own entry.
    for (std::size_t f = 1; f < folders.size(); ++f) PutU32(folderTable, f * ARCHIVE_FOLDER_SIZE, folders[f]->EntryOffset);

    const std::uint32_t blockOffset = static_cast<std::uint32_t>(file.size());
    const std::string block = names + entries + folderTable;
    file += block;
    PutU16(file, 0, ARCHIVE_MAGIC);
    PutU16(file, 2, static_cast<std::uint32_t>(options.Version));
    PutU32(file, 4, static_cast<std::uint32_t>(block.size()));
    PutU32(file, 8, dataOffset);
    PutU32(file, 12, blockOffset);
    PutU32(file, 16, static_cast<std::uint32_t>(names.size()));
    PutU32(file, 20, static_cast<std::uint32_t>(names.size() + entries.size()));
    if (options.Scramble) ScrambleArchive(file, options.SecondKey);
    return file;
}

void WriteBinaryFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteArchiveFuzzSeeds(const std::string& root)
{
    std::filesystem::create_directories(root + "/archive_fuzz");
    std::filesystem::create_directories(root + "/archive_lz_fuzz");
    std::string text;
    for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i % 7) + " of the seed\n";
    const std::vector<ArchiveMember> members = {
        {"A.PNG", text, true}, {"b.txt", "stored bytes", false}, {"Sub\\c.bin", std::string(300, 'c'), true},
        {"Sub\\Deeper\\d.txt", "d", false}, {"e\\", ""},
    };
    for (int version = 0; version <= 3; ++version) {
        ArchiveOptions options;
        options.Version = version;
        options.Scramble = false;
        WriteBinaryFile(root + "/archive_fuzz/v" + std::to_string(version) + ".zva", BuildArchive(members, options));
    }
    WriteBinaryFile(root + "/archive_lz_fuzz/text.lz", PackArchiveLz(text));
    WriteBinaryFile(root + "/archive_lz_fuzz/run.lz", PackArchiveLz(std::string(9000, 'r')));
    WriteBinaryFile(root + "/archive_lz_fuzz/literal.lz", PackArchiveLz("xyz"));
    std::string far;
    for (int i = 0; i < 70000; ++i) far += static_cast<char>((i * 131) ^ (i >> 5));
    WriteBinaryFile(root + "/archive_lz_fuzz/far.lz", PackArchiveLz(far + far.substr(0, 500)));
}
