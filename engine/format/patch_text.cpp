#include "patch_text.h"

#include "code_page_tables.h"
#include "process_text.h"
#include "shown_text.h"

#include <cstring>

size_t CodePageCount()
{
    return CodePageTableCount;
}

OfferedCodePage CodePageAt(size_t index)
{
    OfferedCodePage page = {CodePageTables[index].number, CodePageTables[index].name};
    return page;
}

static const CodePageTable* FindTable(unsigned codePage)
{
    for (unsigned i = 0; i < CodePageTableCount; i++)
        if (CodePageTables[i].number == codePage)
            return &CodePageTables[i];
    return NULL;
}

int KnownCodePage(unsigned codePage)
{
    return FindTable(codePage) != NULL;
}

// The table of `codePage`, 0 being the default; a code page not offered
// (which no caller passes) is taken as 1252.
static const CodePageTable& Table(unsigned codePage)
{
    const CodePageTable* table = FindTable(codePage ? codePage : DefaultCodePage());
    return table ? *table : *FindTable(1252);
}

// The first cell of lead byte `lead`'s pairs, or 0 when it leads none.
static unsigned LeadCells(const CodePageTable& table, unsigned lead)
{
    unsigned cell = 128, trails = table.last - table.first + 1;
    for (unsigned i = 0; i < table.leadRanges; i++) {
        unsigned first = table.leads[2 * i], last = table.leads[2 * i + 1];
        if (lead >= first && lead <= last)
            return cell + (lead - first) * trails;
        cell += (last - first + 1) * trails;
    }
    return 0;
}

// Reads the character `text` (`length` bytes, at least 1) begins with into
// `point`, '?' for an unmapped byte or pair or a pair cut short. A lead byte
// takes the next byte only where that one can end a pair.
static size_t ReadPatchChar(const CodePageTable& table, const unsigned char* text, size_t length, unsigned* point)
{
    unsigned byte = text[0], cell = byte < 0x80 ? 0 : LeadCells(table, byte);
    size_t width = 1;
    if (byte < 0x80)
        *point = byte;
    else if (!cell)
        *point = table.singles[byte - 0x80];
    else if (length >= 2 && text[1] >= table.first && text[1] <= table.last)
        *point = table.doubles[cell - 128 + text[1] - table.first], width = 2;
    else
        *point = 0;
    if (*point == 0 && byte != 0)
        *point = '?';
    return width;
}

static unsigned CellPoint(const CodePageTable& table, unsigned cell)
{
    return cell < 128 ? table.singles[cell] : table.doubles[cell - 128];
}

// The bytes of a cell; returns their count.
static size_t CellBytes(const CodePageTable& table, unsigned cell, char* out)
{
    if (cell < 128) {
        out[0] = static_cast<char>(0x80 + cell);
        return 1;
    }
    unsigned trails = table.last - table.first + 1, row = (cell - 128) / trails, lead = 0;
    for (unsigned i = 0; i < table.leadRanges && !lead; i++) {
        unsigned first = table.leads[2 * i], count = table.leads[2 * i + 1] - first + 1;
        if (row < count)
            lead = first + row;
        row -= count;
    }
    out[0] = static_cast<char>(lead);
    out[1] = static_cast<char>(table.first + (cell - 128) % trails);
    return 2;
}

// Puts the bytes `codePage` writes for `point` into `out`; returns their
// count, 0 when the code page lacks it.
static size_t WritePatchChar(const CodePageTable& table, unsigned point, char* out)
{
    if (point < 0x80) {
        out[0] = static_cast<char>(point);
        return 1;
    }
    size_t low = 0, high = table.cellCount;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        unsigned at = CellPoint(table, table.cells[middle]);
        if (at == point)
            return CellBytes(table, table.cells[middle], out);
        if (at < point)
            low = middle + 1;
        else
            high = middle;
    }
    return 0;
}

// ToPatchText and ToPatchTextMarked, each with its own way of telling what was lost.
static size_t Convert(const char* text, char* out, size_t size, unsigned codePage, char* lostAt, int* lost)
{
    const CodePageTable& table = Table(codePage);
    size_t length = strlen(text), put = 0;
    if (lost)
        *lost = 0;
    for (size_t at = 0; at < length;) {
        unsigned point;
        at += ReadProcessChar(text + at, length - at, &point);
        char bytes[2];
        size_t width = WritePatchChar(table, point, bytes);
        int missing = !width;
        if (missing)
            bytes[0] = '?', width = 1;
        if (put + width > size - 1)
            break;
        memcpy(out + put, bytes, width);
        if (lostAt)
            memset(lostAt + put, missing, width);
        if (lost)
            *lost |= missing;
        put += width;
    }
    out[put] = '\0';
    return put;
}

size_t ToPatchText(const char* text, char* out, size_t size, unsigned codePage, int* lost)
{
    return Convert(text, out, size, codePage, NULL, lost);
}

size_t ToPatchTextMarked(const char* text, char* out, size_t size, unsigned codePage, char* lostAt)
{
    return Convert(text, out, size, codePage, lostAt, NULL);
}

size_t ShowPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage)
{
    const CodePageTable& table = Table(codePage);
    size_t put = 0;
    for (size_t at = 0; at < length;) {
        unsigned point;
        at += ReadPatchChar(table, text + at, length - at, &point);
        char shown[PROCESS_CHAR_MOST + 1];
        size_t width = EscapePoint(point, 1, shown);
        if (!width && !(width = WriteProcessChar(point, shown)))
            shown[0] = '?', width = 1;
        if (put + width >= size)
            break;
        memcpy(out + put, shown, width);
        put += width;
    }
    out[put] = '\0';
    return put;
}

size_t PatchCharLength(const char* text, unsigned codePage)
{
    unsigned point;
    return ReadPatchChar(Table(codePage), reinterpret_cast<const unsigned char*>(text), text[0] ? 2 : 1, &point);
}
