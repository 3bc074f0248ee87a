#pragma once
// The XML parts of a zip package (.xlsx, .xlsm, .ods), streamed through expat a piece at a time,
// so reading a part never holds it whole.

#include <zip.h>

#include <memory>
#include <string>
#include <string_view>

// What a part's reader is told; names are "namespace|local" as expat gives them with namespaces.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view name, const char** attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
};

// The local part of an expat name: what follows the namespace.
std::string_view LocalName(std::string_view name);
// The value of the attribute of that full or local name, or nullptr.
const char* FindAttribute(const char** attributes, std::string_view name);

class ZipPackage {
public:
    // Throws WorkbookError for no zip, a damaged directory, or entries claiming more than they
    // can unpack to.
    explicit ZipPackage(const std::string& bytes);
    bool Has(const std::string& part) const;
    // Throws WorkbookError for a missing part or damaged XML or data.
    void Parse(const std::string& part, XmlHandler& handler) const;
    // A small part read whole.
    std::string ReadSmall(const std::string& part) const;

private:
    std::unique_ptr<zip_t, int (*)(zip_t*)> m_archive;
};

// A finite number as workbook XML writes it ("12.5", "-1E-3"), whatever the locale.
bool ParseXmlNumber(std::string_view text, double& number);
// An ISO 8601 date or date-time ("2024-03-15", "2024-03-15T10:20:30.5") as a serial number.
bool ParseIsoDate(std::string_view text, double& serial);
