#pragma once
// affp.aff: one 30-byte record holding the 14 option flags ("1" on, anything
// else off) followed by a filler of sixteen "0" that nobody reads.
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace vrn {

constexpr int kNbOptions = 14;

// Flags 1..14: "0", ten "1", "0", "1", "1"; then the filler.
QByteArray defaultOptionsRecord();

// The record for the option texts par[1..14]: each flag is the first
// character of its text (a blank when the text is empty), one byte.
QByteArray optionsRecord(const std::array<QString, kNbOptions + 1>& par);

// Flag k (1..14) of a record as the text kept in the option array: the byte
// itself as one character, so saving it again writes the same byte.
QString flagText(const QByteArray& record, int k);

// Record 1 of affp.aff on the options channel, which is closed before and
// after. A missing file is created empty and reads as zero bytes. Nothing
// when the file cannot be opened.
std::optional<QByteArray> readOptionsRecord();

// Writes the record as record 1 of affp.aff (created when missing). False
// when the file cannot be opened or written.
bool writeOptionsRecord(const QByteArray& record);

}  // namespace vrn
