#include "net/Helpers.h"

#include "platform/Platform.h"

#include <QFile>
#include <QHash>
#include <atomic>

namespace kavelo {

namespace {

std::atomic<int> gLanguageBase{2000};

bool ReadPiece(const QString& piece, uint32_t& value) {
  if (piece.isEmpty()) return false;
  uint32_t v = 0;
  for (const QChar c : piece) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + static_cast<uint32_t>(c.unicode() - u'0');
    // Leading zeros are part of a decimal number however many there are; stopping at the
    // first value above 255 keeps a long piece from overflowing.
    if (v > 255) return false;
  }
  value = v;
  return true;
}

template <typename Test> uint32_t FindAdapter(Test test) {
  const auto adapters = Platform().AdapterList();
  int visited = 0;
  for (const auto& adapter : adapters) {
    if (visited++ >= kMaxAdaptersVisited) break;
    const uint32_t a = StrToIP(QString::fromStdString(adapter.IpAddress), InvalidIP);
    const uint32_t m = StrToIP(QString::fromStdString(adapter.IpMask), InvalidIP);
    if (test(a, m) && a != InvalidIP) return a;
  }
  return InvalidIP;
}

struct LanguageFile {
  int Base;
  const char* Path;
};
constexpr LanguageFile kLanguageFiles[] = {
    {1000, ":/messages/de.txt"}, {2000, ":/messages/en.txt"}, {3000, ":/messages/fr.txt"},
    {4000, ":/messages/es.txt"}, {5000, ":/messages/it.txt"}, {6000, ":/messages/cs.txt"},
    {7000, ":/messages/nl.txt"},
};

QHash<int, QString> LoadStringTable() {
  QHash<int, QString> table;
  for (const auto& file : kLanguageFiles) {
    QFile f(QString::fromLatin1(file.Path));
    if (f.open(QIODevice::ReadOnly))
      table.insert(ParseMessageTable(QString::fromUtf8(f.readAll()), file.Base));
  }
  return table;
}

} // namespace

QHash<int, QString> ParseMessageTable(const QString& content, int base) {
  QHash<int, QString> table;
  for (const QString& line : content.split(u'\n')) {
    const qsizetype tab = line.indexOf(u'\t');
    if (tab <= 0) continue;
    bool ok = false;
    const int number = line.left(tab).toInt(&ok);
    if (ok) table.insert(base + number, line.mid(tab + 1).left(kMaxResourceTextLength));
  }
  return table;
}

QString IPToStr(uint32_t value) {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(value & 0xFF)
      .arg((value >> 8) & 0xFF)
      .arg((value >> 16) & 0xFF)
      .arg((value >> 24) & 0xFF);
}

uint32_t MakeIP(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return static_cast<uint32_t>(a) | (static_cast<uint32_t>(b) << 8) |
         (static_cast<uint32_t>(c) << 16) | (static_cast<uint32_t>(d) << 24);
}

uint32_t StrToIP(const QString& text, uint32_t defaultValue) {
  QString rest = text;
  const qsizetype bar = rest.indexOf(u'|');
  if (bar >= 0) rest.truncate(bar);
  qsizetype first = 0;
  qsizetype last = rest.size();
  while (first < last && rest.at(first).unicode() <= 32)
    ++first;
  while (last > first && rest.at(last - 1).unicode() <= 32)
    --last;
  rest = rest.mid(first, last - first);

  uint32_t pieces[4] = {};
  for (int i = 0; i < 3; ++i) {
    const qsizetype dot = rest.indexOf(u'.');
    if (dot < 0) return defaultValue;
    if (!ReadPiece(rest.left(dot), pieces[i])) return defaultValue;
    rest.remove(0, dot + 1);
  }
  if (rest.isEmpty() || !ReadPiece(rest, pieces[3])) return defaultValue;
  return MakeIP(static_cast<uint8_t>(pieces[0]), static_cast<uint8_t>(pieces[1]),
                static_cast<uint8_t>(pieces[2]), static_cast<uint8_t>(pieces[3]));
}

bool IsValidIP(const QString& text) {
  return StrToIP(text, InvalidIP) != 0;
}

uint8_t IPByte(uint8_t index, uint32_t value) {
  if (index < 1 || index > 4) return 0;
  return static_cast<uint8_t>(value >> (8 * (index - 1)));
}

uint32_t LocalIPInSubnet(uint32_t target) {
  return FindAdapter([target](uint32_t a, uint32_t m) { return (a & m) == (m & target); });
}

uint32_t FirstLocalIP() {
  return FindAdapter([](uint32_t a, uint32_t m) { return (a & m) != InvalidIP; });
}

uint32_t LocalIPToward(uint32_t target) {
  return target == InvalidIP ? InvalidIP : Platform().RouteSourceAddress(target);
}

void DeleteArpEntries(uint32_t address) {
  auto& platform = Platform();
  const auto rows = platform.ArpTable();
  if (!rows) return;
  for (const auto& row : *rows) {
    // A row the process may not delete is passed over; the handheld is then reached later.
    if (row.Address == address) platform.DeleteArpRow(row);
  }
}

QString ResourceText(int id) {
  static const QHash<int, QString> table = LoadStringTable();
  return table.value(id);
}

QString LocalizedText(int number) {
  return ResourceText(number + LanguageBase());
}

int LanguageBase() {
  return gLanguageBase.load(std::memory_order_relaxed);
}

void SetLanguageBase(int base) {
  gLanguageBase.store(base, std::memory_order_relaxed);
}

QString FormatText(const QString& text, std::initializer_list<long long> args) {
  QString out;
  out.reserve(text.size() + 16);
  auto next = args.begin();
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == u'%' && i + 1 < text.size() && next != args.end()) {
      const QChar kind = text.at(i + 1);
      if (kind == u'd') {
        out += QString::number(*next++);
        ++i;
        continue;
      }
      if (kind == u'u') {
        out += QString::number(static_cast<uint32_t>(*next++));
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

} // namespace kavelo
