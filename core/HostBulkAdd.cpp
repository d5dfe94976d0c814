#include "core/HostBulkAdd.h"

#include <algorithm>

std::vector<TBulkHostEntry> ExpandHostRange(int Octet1, int Octet2, int Octet3, int First, int Last,
                                            const QString& Prefix) {
    Last = std::clamp(Last, 0, 255);
    First = std::clamp(First, 0, 255);
    if (Last < First)
        First = Last;
    const QString Block = QStringLiteral("%1.%2.%3.").arg(Octet1).arg(Octet2).arg(Octet3);
    std::vector<TBulkHostEntry> Result;
    Result.reserve(size_t(Last - First + 1));
    for (int Octet = First; Octet <= Last; ++Octet)
        Result.push_back(
            {Prefix + QLatin1Char('_') + QString::number(Octet), Block + QString::number(Octet), {}});
    return Result;
}

std::vector<TBulkHostEntry> ExpandHostList(const QStringList& Hosts, const QStringList& Descriptions,
                                           const QString& Prefix) {
    std::vector<TBulkHostEntry> Result;
    for (qsizetype Line = 0; Line < Hosts.size(); ++Line) {
        const QString Address = Hosts[Line].trimmed();
        if (Address.isEmpty())
            continue;
        Result.push_back({Prefix + QLatin1Char('_') + QString::number(Line), Address,
                          Line < Descriptions.size() ? Descriptions[Line] : QString()});
    }
    return Result;
}

bool ValidHostTypeName(const QString& Name, const QStringList& Existing) {
    if (Name.isEmpty() || Name.startsWith(QLatin1Char('.')))
        return false;
    for (QChar Ch : Name)
        if (Ch == QLatin1Char('/') || Ch == QLatin1Char('\\') || Ch.unicode() < 0x20 || Ch.unicode() == 0x7f)
            return false;
    return !Existing.contains(Name, Qt::CaseInsensitive);
}
