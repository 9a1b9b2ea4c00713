// The text form of a configuration (".json"): UTF-8, keys in a fixed order, two-space indent, made to
// be read, edited and diffed by people, and lossless: every block image survives export and import.
//
// At the top, what the window shows: "header1", "header2", and "channel1".."channel4", each with
// "tag", "units", "decimals" (0..3), "disabled", "flags" (the whole byte, "0x41") and "point1",
// "point2" ({"raw": reading, "value": "12.5"}: the required value in the channel's decimals, also for a
// disabled channel; null for NoValue). Under "hidden", what it never shows: "reserved", each text's
// bytes after its end ("after", hex) and a length byte above the field's capacity ("length"), and per
// channel "lastReading", "reservedA" and "reservedB". data/quellix-config.schema.json describes it.
//
// Decimals and the disabled mark live in the flags byte: "decimals" and "disabled" say what it holds,
// and an import refuses a file where they disagree with "flags". A file may leave "flags" out (the
// byte is then decimals, plus 0x40 when disabled) and may leave out "hidden" or any part of it: those
// bytes come from the defaults, and bytes after a text are zero.
#pragma once

#include "ConfigBlock.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

namespace quellix {

QByteArray ConfigToJson(const ConfigBlock& block);

// A text in double quotes as the text form writes it: quotes and backslashes escaped, and control
// characters (which would be invisible or act on a terminal), the no-break space and the soft hyphen
// as \u escapes.
QString QuotedText(const QString& text);
// A text to print on a terminal as it is, but for its control characters (C0, DEL and C1), which would
// act on the terminal or vanish: those as the same escapes ("\n", "\t", "\u001B").
QString EscapedControls(const QString& text);

// Input echoed in a message: quoted and escaped as QuotedText writes it, so that nothing in it can act
// on a terminal, and cut to 40 characters ("…" after), so that a text of a megabyte does not flood it.
QString QuotedExcerpt(const QString& text);

// The bytes of a text for a field of `capacity` bytes, checked as the import checks every text: no
// control characters, only what Windows-1252 holds, and no longer than the field. Nothing otherwise,
// with `reason` naming the fault ("\"Rücklauf Kesselhaus 2\" is 21 bytes; the field holds 20").
std::optional<std::string> FieldTextBytes(const QString& text, std::size_t capacity, QString* reason);

// Where an import failed: a key path such as "channel2.point1.value" (empty for the document as a
// whole) and why.
struct ConfigJsonError {
    QString path;
    QString reason;
};

// The block a text form describes, or nothing when it is not valid; every field is checked.
std::optional<ConfigBlock> ConfigFromJson(const QByteArray& json, ConfigJsonError* error = nullptr);

} // namespace quellix
