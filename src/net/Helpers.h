#pragma once
// Address conversions, adapter lookups, the ARP purge and the message lookup.
// An address value holds the first dotted number in its lowest byte.

#include <QHash>
#include <QString>
#include <cstdint>
#include <initializer_list>

namespace kavelo {

inline constexpr uint32_t InvalidIP = 0;
inline constexpr int kMaxAdaptersVisited = 10;
inline constexpr int kMaxResourceTextLength = 254;

QString IPToStr(uint32_t value);
uint32_t MakeIP(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
uint32_t StrToIP(const QString& text, uint32_t defaultValue);
bool IsValidIP(const QString& text);
uint8_t IPByte(uint8_t index, uint32_t value);
uint32_t LocalIPInSubnet(uint32_t target);
uint32_t FirstLocalIP();
// The local address this machine sends from toward target, as its routing table says; InvalidIP
// when there is no route. Serves a handheld behind a router, which no adapter's subnet holds.
uint32_t LocalIPToward(uint32_t target);
void DeleteArpEntries(uint32_t address);

// Reads one language's table (lines "<number><TAB><text>") into entries base + number; texts
// are cut at 254 characters.
QHash<int, QString> ParseMessageTable(const QString& content, int base);

// The string-table entry id (language base + message number); empty for an unknown id.
QString ResourceText(int id);
// The message in the current language.
QString LocalizedText(int number);

// The base of the current language (1000 German ... 7000 Dutch); English until set.
int LanguageBase();
void SetLanguageBase(int base);

// Substitutes %d and %u in order. A message text is data, never a printf format: missing
// arguments leave the placeholder, extra arguments are ignored (German 202 has none).
QString FormatText(const QString& text, std::initializer_list<long long> args);

} // namespace kavelo
