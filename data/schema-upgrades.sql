-- How a database made by an earlier version of the program is brought up to date when it is
-- opened. A step begins with a line "-- version N" and holds the statements that take a
-- database of the version before it to version N; the last step's number is the version of
-- schema.sql. Steps are written once and never changed afterwards: a change to schema.sql
-- comes with a new step here that makes the same change. SQLite words, rewritten for a server
-- by schema-dialects.txt like schema.sql.
--
-- Version 0 is a database from before versions were kept: the six tables Explosives, BTypes,
-- BSubTypes, MnuPM, IDPM and TProbit, with or without PlanPicture, which the program then
-- made when the first plan picture was stored.

-- version 1
CREATE TABLE IF NOT EXISTS PlanPicture (
    NumPM    INTEGER NOT NULL PRIMARY KEY,
    Picture  BLOB NOT NULL,
    PixX1 REAL NOT NULL, PixY1 REAL NOT NULL, PlanX1 REAL NOT NULL, PlanY1 REAL NOT NULL,
    PixX2 REAL NOT NULL, PixY2 REAL NOT NULL, PlanX2 REAL NOT NULL, PlanY2 REAL NOT NULL,
    Rotation INTEGER NOT NULL DEFAULT 0,
    Opacity  REAL NOT NULL DEFAULT 1 CHECK (Opacity BETWEEN 0 AND 1),
    Shown    INTEGER NOT NULL DEFAULT 1
);

-- version 2
CREATE TABLE IF NOT EXISTS StructureVertex (
    NumPM   INTEGER NOT NULL,
    NumSoor INTEGER NOT NULL CHECK (NumSoor BETWEEN -32767 AND 32767 AND NumSoor <> 0),
    Seq     INTEGER NOT NULL CHECK (Seq >= 1),
    X REAL NOT NULL,
    Y REAL NOT NULL,
    PRIMARY KEY (NumPM, NumSoor, Seq)
);

CREATE TABLE IF NOT EXISTS PlanCrs (
    NumPM INTEGER NOT NULL PRIMARY KEY,
    Epsg  INTEGER NOT NULL CHECK (Epsg > 0)
);

-- version 3
CREATE TABLE IF NOT EXISTS Scenario (
    NumPM       INTEGER NOT NULL,
    Name        TEXT NOT NULL,
    Explosive   TEXT,
    Mass        REAL NOT NULL CHECK (Mass > 0),
    HeatPerMole INTEGER NOT NULL DEFAULT 0,
    Heat        REAL NOT NULL CHECK (Heat > 0),
    MolarMass   REAL NOT NULL,
    Air         INTEGER NOT NULL DEFAULT 0,
    X REAL NOT NULL,
    Y REAL NOT NULL,
    BodyMass    REAL NOT NULL CHECK (BodyMass > 0),
    Revision    INTEGER NOT NULL DEFAULT 1,
    LastUsed    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (NumPM, Name)
);
