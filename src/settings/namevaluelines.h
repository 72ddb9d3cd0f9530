#pragma once

#include "core/bytestream.h"

#include <QByteArrayView>
#include <QString>

// Calls add(name, value) for each "name=value" line of bytes, in order. Lines end in CR LF,
// CR or LF; a line without a name or without a value is passed over.
template <typename Add>
void ForEachNameValueLine(QByteArrayView bytes, Add add) {
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const QString line = DecodeText(bytes.sliced(start, end - start));
    start = end;
    if (start < bytes.size() && bytes[start] == '\r') ++start;
    if (start < bytes.size() && bytes[start] == '\n') ++start;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || eq == line.size() - 1) continue;
    add(line.left(eq), line.mid(eq + 1));
  }
}
