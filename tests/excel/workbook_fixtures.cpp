#include "tests/excel/workbook_fixtures.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void WriteCell(lxw_worksheet* sheet, lxw_format* date_format, int row, int column,
               const XlsxCell& cell) {
    if (auto text = std::get_if<std::string>(&cell)) {
        worksheet_write_string(sheet, row, column, text->c_str(), nullptr);
    } else if (auto number = std::get_if<double>(&cell)) {
        worksheet_write_number(sheet, row, column, *number, nullptr);
    } else if (auto date = std::get_if<XlsxDate>(&cell)) {
        lxw_datetime value{date->year, date->month,  date->day,
                           date->hour, date->minute, static_cast<double>(date->second)};
        worksheet_write_datetime(sheet, row, column, &value, date_format);
    } else if (auto flag = std::get_if<XlsxBool>(&cell)) {
        worksheet_write_boolean(sheet, row, column, flag->value, nullptr);
    }
}

}  // namespace

void MakeXlsx(const std::string& path, const std::vector<XlsxSheet>& sheets) {
    lxw_workbook* book = workbook_new(path.c_str());
    ASSERT_NE(book, nullptr);
    lxw_format* date_format = workbook_add_format(book);
    format_set_num_format(date_format, "yyyy-mm-dd hh:mm:ss");
    for (const XlsxSheet& sheet : sheets) {
        lxw_worksheet* worksheet = workbook_add_worksheet(book, sheet.name.c_str());
        for (std::size_t r = 0; r < sheet.rows.size(); ++r)
            for (std::size_t c = 0; c < sheet.rows[r].size(); ++c)
                WriteCell(worksheet, date_format, sheet.first_row + static_cast<int>(r),
                          sheet.first_column + static_cast<int>(c), sheet.rows[r][c]);
        for (const XlsxMerge& merge : sheet.merges) {
            const auto* text = std::get_if<std::string>(
                &sheet.rows[merge.first_row - sheet.first_row][merge.first_column - sheet.first_column]);
            worksheet_merge_range(worksheet, merge.first_row, merge.first_column, merge.last_row,
                                  merge.last_column, text ? text->c_str() : "", nullptr);
        }
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

XlsxSheet TextSheet(const std::string& name, const std::vector<std::vector<std::string>>& rows) {
    XlsxSheet sheet{name, {}};
    for (const auto& row : rows) {
        XlsxRow cells;
        for (const std::string& text : row)
            cells.push_back(text.empty() ? XlsxCell() : XlsxCell(text));
        sheet.rows.push_back(cells);
    }
    return sheet;
}

bool MakeWithOpenpyxl(const std::string& path, const std::string& script) {
    const std::string script_path = path + ".py";
    std::ofstream(script_path) << "import openpyxl\npath = " << Quote(path) << "\n" << script;
    return std::system(("/usr/bin/python3 " + Quote(script_path)).c_str()) == 0;
}

bool Office::Available() {
    return std::system("command -v soffice >/dev/null 2>&1") == 0;
}

bool Office::Convert(const std::vector<std::string>& files, const std::string& filter,
                     const std::string& out_dir, const std::string& in_filter) const {
    // A conversion that hangs must not hold the suite: LibreOffice gets 120 seconds.
    std::string command = "timeout -k 5 120 soffice -env:UserInstallation=file://" +
                          m_scratch.file("office-profile") + " --headless --norestore";
    if (!in_filter.empty()) command += " --infilter=" + Quote(in_filter);
    command += " --convert-to " + Quote(filter) + " --outdir " + Quote(out_dir);
    for (const std::string& file : files) command += " " + Quote(file);
    command += " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::vector<std::vector<std::string>> ReadCsv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, ',')) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.push_back("");
        rows.push_back(cells);
    }
    return rows;
}

int RunWorkbookTool(const std::string& arguments, std::string& out) {
    const std::string command = std::string(LEDGERDESK_WORKBOOK_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    out.clear();
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, read);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::vector<std::string>> ParseTsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            cells.push_back(line.substr(start, tab - start));
        cells.push_back(line.substr(start));
        rows.push_back(cells);
    }
    return rows;
}
