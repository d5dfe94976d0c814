// The messaging client's error tables: the English originals and our own translations (UTF-8), all in
// the same order so a number means the same failure in every language.
#include "messaging/ICQLang.h"

#include <array>

namespace {

constexpr int TextCount = 26;
using TTable = std::array<const char*, TextCount>;

constexpr TTable EnglishTexts = {
    "Length of incoming packet exceeds maximum supported by protocol",
    "Could not initialize connection through HTTP proxy, please retry",
    "Received malformed packet",
    "Could not add user for sending/receiving files",
    "Received malformed login packet",
    "Bad password",
    "Too often logins",
    "Cannot establish direct connection because remote client uses unknown proxy type",
    "Connection timed out",
    "Could not send data",
    "Could not resolve host",
    "Could not connect",
    "Could not receive data",
    "Could not create stream socket",
    "SOCKS4 server cannot connect to remote server",
    "Auth methods are not supported by SOCKS5 server",
    "SOCKS5 server cannot authenticate",
    "SOCKS5 server cannot connect to remote server",
    "Http proxy returned invalid status: ",
    "Http proxy buffer overflow",
    "Could not accept incoming client",
    "Could not bind server",
    "Could not listen incoming connections",
    "Could not open database files",
    "Dat version not supported",
    "You have been disconnected from the ICQ network because you logged on from another location using the "
    "same ICQ number",
};

constexpr TTable RussianTexts = {
    "Длина входящего пакета превышает максимум, допустимый протоколом",
    "Не удалось установить соединение через HTTP-прокси, попробуйте ещё раз",
    "Получен искажённый пакет",
    "Не удалось добавить пользователя для передачи и приёма файлов",
    "Получен искажённый пакет входа",
    "Неверный пароль",
    "Слишком частые попытки входа",
    "Невозможно установить прямое соединение: удалённый клиент использует неизвестный тип прокси",
    "Время ожидания соединения истекло",
    "Не удалось отправить данные",
    "Не удалось определить адрес узла",
    "Не удалось подключиться",
    "Не удалось получить данные",
    "Не удалось создать потоковый сокет",
    "Сервер SOCKS4 не может подключиться к удалённому серверу",
    "Сервер SOCKS5 не поддерживает предложенные методы аутентификации",
    "Сервер SOCKS5 отклонил аутентификацию",
    "Сервер SOCKS5 не может подключиться к удалённому серверу",
    "HTTP-прокси вернул недопустимый статус: ",
    "Переполнение буфера HTTP-прокси",
    "Не удалось принять входящее подключение",
    "Не удалось привязать сервер к порту",
    "Не удалось ожидать входящие подключения",
    "Не удалось открыть файлы базы данных",
    "Версия файла Dat не поддерживается",
    "Вы отключены от сети ICQ, так как вошли в неё из другого места с тем же номером ICQ",
};

constexpr TTable HungarianTexts = {
    "A bejövő csomag hossza meghaladja a protokoll által támogatott maximumot",
    "Nem sikerült kapcsolatot létesíteni a HTTP proxyn keresztül, kérjük, próbálja újra",
    "Hibás csomag érkezett",
    "Nem sikerült felvenni a felhasználót fájlok küldéséhez/fogadásához",
    "Hibás bejelentkezési csomag érkezett",
    "Hibás jelszó",
    "Túl gyakori bejelentkezés",
    "Nem hozható létre közvetlen kapcsolat, mert a távoli kliens ismeretlen proxytípust használ",
    "A kapcsolat időtúllépés miatt megszakadt",
    "Nem sikerült adatot küldeni",
    "Nem sikerült feloldani a gépnevet",
    "Nem sikerült kapcsolódni",
    "Nem sikerült adatot fogadni",
    "Nem sikerült adatfolyam-foglalatot létrehozni",
    "A SOCKS4 szerver nem tud kapcsolódni a távoli szerverhez",
    "A SOCKS5 szerver nem támogatja a hitelesítési módokat",
    "A SOCKS5 szerver nem tudta hitelesíteni a felhasználót",
    "A SOCKS5 szerver nem tud kapcsolódni a távoli szerverhez",
    "A HTTP proxy érvénytelen állapotot adott vissza: ",
    "HTTP proxy puffertúlcsordulás",
    "Nem sikerült fogadni a bejövő klienst",
    "Nem sikerült a szervert a porthoz kötni",
    "Nem sikerült figyelni a bejövő kapcsolatokat",
    "Nem sikerült megnyitni az adatbázisfájlokat",
    "A Dat verzió nem támogatott",
    "Lekapcsolódott az ICQ hálózatról, mert ugyanazzal az ICQ számmal egy másik helyről jelentkezett be",
};

constexpr TTable NorwegianTexts = {
    "Lengden på innkommende pakke overstiger maksimum som protokollen støtter",
    "Kunne ikke opprette tilkobling gjennom HTTP-proxy, vennligst prøv igjen",
    "Mottok en ugyldig pakke",
    "Kunne ikke legge til bruker for sending/mottak av filer",
    "Mottok en ugyldig innloggingspakke",
    "Feil passord",
    "For hyppige innlogginger",
    "Kan ikke opprette direkte tilkobling fordi den andre klienten bruker en ukjent proxytype",
    "Tidsavbrudd for tilkoblingen",
    "Kunne ikke sende data",
    "Kunne ikke slå opp vertsnavnet",
    "Kunne ikke koble til",
    "Kunne ikke motta data",
    "Kunne ikke opprette strømsokkel",
    "SOCKS4-serveren kan ikke koble til den eksterne serveren",
    "SOCKS5-serveren støtter ikke autentiseringsmetodene",
    "SOCKS5-serveren kan ikke autentisere",
    "SOCKS5-serveren kan ikke koble til den eksterne serveren",
    "HTTP-proxyen returnerte ugyldig status: ",
    "Bufferoverflyt i HTTP-proxy",
    "Kunne ikke godta innkommende klient",
    "Kunne ikke binde serveren",
    "Kunne ikke lytte etter innkommende tilkoblinger",
    "Kunne ikke åpne databasefilene",
    "Dat-versjonen støttes ikke",
    "Du er koblet fra ICQ-nettverket fordi du logget på fra et annet sted med det samme ICQ-nummeret",
};

constexpr TTable GermanTexts = {
    "Die Länge des eingehenden Pakets überschreitet das vom Protokoll unterstützte Maximum",
    "Verbindung über den HTTP-Proxy konnte nicht aufgebaut werden, bitte erneut versuchen",
    "Fehlerhaftes Paket empfangen",
    "Benutzer für das Senden/Empfangen von Dateien konnte nicht hinzugefügt werden",
    "Fehlerhaftes Anmeldepaket empfangen",
    "Falsches Passwort",
    "Zu häufige Anmeldungen",
    "Direktverbindung nicht möglich, da der entfernte Client einen unbekannten Proxytyp verwendet",
    "Zeitüberschreitung der Verbindung",
    "Daten konnten nicht gesendet werden",
    "Hostname konnte nicht aufgelöst werden",
    "Verbindung konnte nicht hergestellt werden",
    "Daten konnten nicht empfangen werden",
    "Stream-Socket konnte nicht erstellt werden",
    "Der SOCKS4-Server kann keine Verbindung zum entfernten Server herstellen",
    "Die Authentifizierungsmethoden werden vom SOCKS5-Server nicht unterstützt",
    "Der SOCKS5-Server kann nicht authentifizieren",
    "Der SOCKS5-Server kann keine Verbindung zum entfernten Server herstellen",
    "Der HTTP-Proxy hat einen ungültigen Status geliefert: ",
    "Pufferüberlauf beim HTTP-Proxy",
    "Eingehender Client konnte nicht angenommen werden",
    "Server konnte nicht gebunden werden",
    "Auf eingehende Verbindungen konnte nicht gewartet werden",
    "Datenbankdateien konnten nicht geöffnet werden",
    "Dat-Version wird nicht unterstützt",
    "Sie wurden vom ICQ-Netzwerk getrennt, weil Sie sich mit derselben ICQ-Nummer von einem anderen Ort "
    "angemeldet haben",
};

// Indexed by TICQLangType.
constexpr std::array<const TTable*, 5> Tables = {&EnglishTexts, &RussianTexts, &HungarianTexts,
                                                 &NorwegianTexts, &GermanTexts};

} // namespace

QString GetICQErrorText(TICQLangType Language, int Number) {
    const int lang = static_cast<int>(Language);
    if (lang < 0 || lang >= static_cast<int>(Tables.size()) || Number < 1 || Number > TextCount)
        return QString();
    return QString::fromUtf8((*Tables[static_cast<std::size_t>(lang)])[static_cast<std::size_t>(Number - 1)]);
}
