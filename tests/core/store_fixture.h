// A fresh database with the program's tables and the host store on it, and a one-value query for
// checking what was stored.
#pragma once

#include "core/DatabaseSchema.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Db.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(Db);
    }
    // The first column of the first row, or "<none>" without a row.
    QString One(const QString& SQL, const TSQLiteValues& Values = {}) {
        auto t = Db.OpenResultTable(SQL, Values);
        return t->AtEnd() ? QStringLiteral("<none>") : t->FieldTextOrEmpty(0);
    }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
    THostStore Store{Db};
};
