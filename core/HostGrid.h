// The main host grid (the in-memory host table): its 41 columns and the loading of table hosts
// into it at start-up.
#pragma once

#include <QString>
#include <QStringList>

class TDataGrid;
class TSQLiteDatabase;
class TSQLiteTable;
class IHostLoadProgress;

// Grid column names in grid order: number_, the hosts columns 1-15, Kod_ (hosts.id), the hosts
// columns 16-39.
QStringList HostGridColumnNames();
// Grid column of a hosts column position (0-39).
int HostGridColumnOfStored(int StoredPosition);

// Adds the 41 columns with their cell kinds to an empty grid.
void CreateHostGridColumns(TDataGrid& Grid);

// Fills grid row Row from the current row of a "select * from hosts" result. A cell whose value
// does not convert stays empty; the other cells are filled. Returns how many cells failed.
int FillHostRow(TDataGrid& Grid, int Row, const TSQLiteTable& Hosts);

// "Zorvanite Tarnequill Pro - <Text> <percent>%" for row Row of rows 0..LastRow.
QString HostLoadCaption(const QString& Text, int Row, int LastRow);

// Loads every host row into Grid (appending), with the progress window above 1500 rows, and
// keeps HostLoadCounters up to date. Returns the number of result rows.
int LoadHostsIntoGrid(TSQLiteDatabase& Database, TDataGrid& Grid, IHostLoadProgress* Progress,
                      const QString& ProgressText);

// Shows only the rows of group Group (N_group text) and numbers them 1, 2, ... in number_.
void ShowGroupHosts(TDataGrid& Grid, const QString& Group);
// Shows every row, numbered 1, 2, ... (no group exists to choose from).
void ShowAllHosts(TDataGrid& Grid);
