// The tools window (ping, traceroute, lookup, SNMP utility, charts); at creation it loads the database.
#include "ui/dialogs/Unit_tracert.h"

TPing_tracert_form* Ping_tracert_form = nullptr;

TPing_tracert_form::TPing_tracert_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Ping_tracert_form"));
}

void TPing_tracert_form::FormCreate() {
    LoadDatabase();
}

void TPing_tracert_form::LoadDatabase() {
    // Filled by the database loader.
}
