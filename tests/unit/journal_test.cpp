#include "journal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

static Journal Sample;
static unsigned char Bytes[MAX_JOURNAL_SIZE];

static size_t EncodeSample(const char* undoPath = "/g/fix-undo.ov")
{
    Journal& j = Sample;
    j.volume = 0x0102030405060708ULL;
    j.index = 0x1112131415161718ULL;
    j.size = 1LL << 32;
    memset(&j.name, 0, sizeof j.name);
    strcpy(j.name.bytes, "GAME.EXE");
    j.count = 3;
    j.records[0] = {0x10, 0xAA, 0xBB};
    j.records[1] = {0x11, 0x01, 0x01};
    j.records[2] = {0xFFFFFFFF, 0x00, 0xFF};
    strcpy(j.comment, "undoes fix.ov");
    strcpy(j.patchPath, "fix.ov");
    strcpy(j.undoPath, undoPath);
    return EncodeJournal(j, Bytes);
}

// What is decoded encodes again to the same bytes.
TEST(Journal, DecodesWhatWasEncoded)
{
    for (const char* undo : {"/g/fix-undo.ov", ""}) {
        size_t length = EncodeSample(undo);
        ASSERT_EQ(length, JOURNAL_HEADER_SIZE + 18 + 13 + 6 + strlen(undo) + 8u);
        static Journal back;
        static unsigned char again[MAX_JOURNAL_SIZE];
        ASSERT_EQ(DecodeJournal(Bytes, length, &back), 1);
        ASSERT_EQ(EncodeJournal(back, again), length);
        EXPECT_EQ(memcmp(again, Bytes, length), 0);
    }
}

// A journal cut short anywhere, grown, or with any byte changed was never
// finished, so it was never used.
TEST(Journal, AnythingButAWholeJournalWasNeverUsed)
{
    size_t length = EncodeSample();
    static Journal back;
    for (size_t cut : {size_t(0), size_t(8), size_t(61), length / 2, length - 8, length - 1})
        EXPECT_EQ(DecodeJournal(Bytes, cut, &back), 0) << "cut at " << cut;
    EXPECT_EQ(DecodeJournal(Bytes, length + 1, &back), 0);
    // magic, version, length, volume, index, size, count, name, lengths, a record, texts, checksum
    for (size_t at : {0, 8, 12, 16, 24, 39, 40, 44, 57, 58, 60, 62, 66, 80, 95, 100, static_cast<int>(length) - 1}) {
        Bytes[at] ^= 0x40;
        EXPECT_EQ(DecodeJournal(Bytes, length, &back), 0) << "byte " << at;
        Bytes[at] ^= 0x40;
    }
    EXPECT_EQ(DecodeJournal(Bytes, length, &back), 1);
}

// Bytes that pass the checksum are still refused where the records or texts
// could not come from an apply.
TEST(Journal, RefusesWhatNoApplyWrites)
{
    const struct {
        const char* what;
        void (*spoil)(Journal&);
    } rows[] = {
        {"positions not ascending", [](Journal& j) { j.records[1].offset = 0x10; }},
        {"a position past the end", [](Journal& j) { j.size = 0xFFFFFFFF; }},
        {"a name without its zero", [](Journal& j) { memset(j.name.bytes, 'A', TARGET_NAME_SIZE); }},
    };
    for (const auto& row : rows) {
        EncodeSample();
        row.spoil(Sample);
        size_t length = EncodeJournal(Sample, Bytes);
        static Journal back;
        EXPECT_EQ(DecodeJournal(Bytes, length, &back), 0) << row.what;
    }
    EncodeSample();
    strcpy(Sample.patchPath, "");
    EXPECT_EQ(EncodeJournal(Sample, Bytes), 0u);
}

TEST(Journal, FitsOnlyItsOwnFileHoldingOldOrNewValues)
{
    EncodeSample();
    const Journal& j = Sample;
    const struct {
        unsigned long long volume, index;
        long long size;
        unsigned char bytes[3];
        int fit;
    } rows[] = {
        {j.volume, j.index, j.size, {0xAA, 0x01, 0x00}, JOURNAL_FITS},
        {j.volume, j.index, j.size, {0xBB, 0x01, 0x00}, JOURNAL_FITS},
        {j.volume, j.index, j.size, {0xAA, 0x02, 0x00}, JOURNAL_OTHER_BYTES},
        {j.volume, j.index + 1, j.size, {0xAA, 0x01, 0x00}, JOURNAL_OTHER_FILE},
        {j.volume + 1, j.index, j.size, {0xAA, 0x01, 0x00}, JOURNAL_OTHER_FILE},
        {j.volume, j.index, j.size + 1, {0xAA, 0x01, 0x00}, JOURNAL_OTHER_FILE},
    };
    for (const auto& row : rows)
        EXPECT_EQ(JournalFit(j, row.volume, row.index, row.size, row.bytes), row.fit)
            << static_cast<int>(&row - rows);
}

// The undo patch holds the old value of every position the apply changes.
TEST(Journal, UndoPatchPutsBackWhatTheApplyChanged)
{
    EncodeSample();
    static unsigned char undo[MAX_PATCH_SIZE];
    static PatchRecord records[MAX_PATCH_RECORDS];
    size_t length = JournalUndoPatch(Sample, records, undo);
    static const unsigned char expected[] = "GAME.EXE\0\0\0\0\0" "\x02\x00"
                                            "\x10\0\0\0\x01\xAA" "\xFF\xFF\xFF\xFF\x01\x00" "undoes fix.ov";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(undo), length),
              std::string(reinterpret_cast<const char*>(expected), sizeof expected - 1));
}

TEST(Journal, NameIsDerivedFromTheFilesName)
{
    char name[300];
    JournalName("game.exe", 1, name, sizeof name);
    EXPECT_STREQ(name, ".game.exe.morvex-journal");
    JournalName("game.exe", 0, name, sizeof name);
    EXPECT_STREQ(name, "game.exe.morvex-journal");
    // The longest names still give a name the system takes, one per file.
    char otherName[300];
    JournalName((std::string(254, 'a') + "a").c_str(), 1, name, sizeof name);
    JournalName((std::string(254, 'a') + "b").c_str(), 1, otherName, sizeof otherName);
    EXPECT_EQ(strlen(name), 255u);
    EXPECT_STRNE(name, otherName);
    EXPECT_STREQ(name + 255 - 15, ".morvex-journal");
}
