#pragma once
// Reading the session transcript back, as comma-separated fields or as whole lines.

#include <QString>
#include <QStringList>

namespace logfields {

enum class NumberSplit {
    No, // an unquoted field runs to the next comma or line end
    Yes // a field that starts with a run of digits ends at the first blank after it
};

// Field rule: fields end at a comma or a line end (CR, LF, CR LF), so an empty line is an
// empty field; blanks before a field are skipped; a field opened by a double quote runs
// to the next double quote (commas and line ends included) and whatever follows the
// closing quote up to the next comma or line end is dropped; blanks at the end of an
// unquoted field are dropped. With NumberSplit::Yes, "213 1048576" reads as the two
// fields "213" and "1048576", and "257 \"/pub\" is current" as "257" and "/pub".
QStringList readFields(const QString& text, NumberSplit split = NumberSplit::No);

// Whole lines (terminators at CR LF, lone CR or lone LF), as a CR LF-joined text with
// CR LF after each line.
QString readLinesCrLf(const QString& text);

// Fields joined with CR LF after each one: what the log pane shows.
QString fieldsAsPaneText(const QString& text);

// Cuts a very long log to its last `maxChars` characters, starting at a line start.
// Returns the text unchanged when it is short enough.
QString tailAtLineStart(const QString& text, qsizetype maxChars);

} // namespace logfields
