// The add-many-hosts dialog: hosts by address range or list.
#include "ui/dialogs/m_tasks_add.h"

TAdd_M_hosts* Add_M_hosts = nullptr;

TAdd_M_hosts::TAdd_M_hosts(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Add_M_hosts"));
}

void TAdd_M_hosts::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
