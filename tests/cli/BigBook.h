// A one-sheet .xlsx of many number rows written to disk, for tests that run
// the built tabellix-convert on a workbook it takes a while to dump: the
// parts stored uncompressed in a zip of the test's own making.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace tabellix::test {

namespace bigbook {

inline uint32_t Crc32(const std::string& data) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char b : data)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

inline void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A zip of stored entries: local headers, then the central directory.
inline std::string Zip(const std::vector<std::pair<std::string, std::string>>& parts) {
    std::string out, directory;
    for (const auto& [name, data] : parts) {
        const uint32_t crc = Crc32(data), offset = static_cast<uint32_t>(out.size());
        const auto size = static_cast<uint32_t>(data.size());
        std::string common;
        Put(common, 20, 2);   // version needed
        Put(common, 0, 2);    // flags
        Put(common, 0, 2);    // stored
        Put(common, 0, 2);    // time
        Put(common, 0x21, 2); // date: 1980-01-01
        Put(common, crc, 4);
        Put(common, size, 4); // compressed
        Put(common, size, 4); // uncompressed
        Put(common, static_cast<uint32_t>(name.size()), 2);
        Put(common, 0, 2); // extra
        Put(out, 0x04034b50, 4);
        out += common + name + data;
        Put(directory, 0x02014b50, 4);
        Put(directory, 20, 2); // version made by
        directory += common;
        Put(directory, 0, 2); // comment
        Put(directory, 0, 2); // disk
        Put(directory, 0, 2); // internal attributes
        Put(directory, 0, 4); // external attributes
        Put(directory, offset, 4);
        directory += name;
    }
    const auto at = static_cast<uint32_t>(out.size());
    out += directory;
    Put(out, 0x06054b50, 4);
    Put(out, 0, 4); // this disk, the directory's disk
    Put(out, static_cast<uint32_t>(parts.size()), 2);
    Put(out, static_cast<uint32_t>(parts.size()), 2);
    Put(out, static_cast<uint32_t>(directory.size()), 4);
    Put(out, at, 4);
    Put(out, 0, 2); // comment
    return out;
}

} // namespace bigbook

// Writes path: sheet "Big" with rows 1 to rows, each the number of its row.
inline void WriteBigBook(const std::string& path, int rows) {
    const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::string sheet =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet " + ns + "><sheetData>";
    for (int r = 1; r <= rows; ++r) {
        const std::string n = std::to_string(r);
        sheet += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c></row>";
    }
    sheet += "</sheetData></worksheet>";
    const std::string relationships =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    std::ofstream(path, std::ios::binary) << bigbook::Zip({
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
         "Extension=\"xml\" ContentType=\"application/xml\"/></Types>"},
        {"_rels/.rels", relationships + "<Relationship Id=\"rId1\" Type=\"" + rel +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook " + ns +
                                " xmlns:r=\"" + rel +
                                "\"><sheets><sheet name=\"Big\" sheetId=\"1\" "
                                "r:id=\"rId10\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", relationships + "<Relationship Id=\"rId10\" Type=\"" + rel +
                                           "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                                           "</Relationships>"},
        {"xl/worksheets/sheet1.xml", sheet},
    });
}

} // namespace tabellix::test
