-- The reference database of the program, written for SQLite. The same tables serve on a team
-- server reached through ODBC (PostgreSQL); the few words that differ there are rewritten by
-- schema-dialects.txt. A new database gets these tables and the version of the last step of
-- schema-upgrades.sql; an older one is brought up to date by those steps when it is opened.

CREATE TABLE Explosives (
    VVName  TEXT NOT NULL UNIQUE,
    VVPower REAL NOT NULL
);

CREATE TABLE BTypes (
    TNum  INTEGER NOT NULL UNIQUE CHECK (TNum BETWEEN -32768 AND 32767),
    TName TEXT NOT NULL
);

CREATE TABLE BSubTypes (
    Type   INTEGER NOT NULL,
    STName TEXT NOT NULL,
    Slamin REAL, Slamax REAL,
    Sremin REAL, Sremax REAL,
    Sulmin REAL, Sulmax REAL,
    Polmin REAL, Polmax REAL
);

-- NumPM is handed out by the database; AUTOINCREMENT never reuses a deleted plan's number.
CREATE TABLE MnuPM (
    NumPM INTEGER PRIMARY KEY AUTOINCREMENT CHECK (NumPM BETWEEN 1 AND 32767),
    MnuPM TEXT NOT NULL UNIQUE
);

-- A plan never holds two structures under one number. The numbers are 1 … 32767; while the
-- later structures move down after a delete they pass through the negative numbers, which
-- is why the check allows them.
CREATE TABLE IDPM (
    NumPrim INTEGER NOT NULL,
    NumSoor INTEGER NOT NULL CHECK (NumSoor BETWEEN -32767 AND 32767 AND NumSoor <> 0),
    Combo2  TEXT,
    Combo3  TEXT,
    Text1   TEXT,
    Text2   TEXT,
    optSla  INTEGER NOT NULL DEFAULT 0,
    optSre  INTEGER NOT NULL DEFAULT 0,
    optSul  INTEGER NOT NULL DEFAULT 0,
    optPol  INTEGER NOT NULL DEFAULT 0,
    txtSla  INTEGER,
    txtSre  INTEGER,
    txtSul  INTEGER,
    txtPol  INTEGER,
    txtX1 TEXT, txtY1 TEXT,
    txtX2 TEXT, txtY2 TEXT,
    txtX3 TEXT, txtY3 TEXT,
    txtX4 TEXT, txtY4 TEXT
);
CREATE UNIQUE INDEX IDPM_Plan ON IDPM (NumPrim, NumSoor);

CREATE TABLE TProbit (
    Zn_Probit  REAL NOT NULL UNIQUE,
    Zn_Procent REAL NOT NULL
);

-- The picture of a plan's site drawn under its structures (PNG or JPEG as the user gave it),
-- and where it lies: two of its pixels (x right, y down) with the plan coordinates typed for
-- them, whether the picture may be turned, its opacity and whether it is shown.
CREATE TABLE PlanPicture (
    NumPM    INTEGER NOT NULL PRIMARY KEY,
    Picture  BLOB NOT NULL,
    PixX1 REAL NOT NULL, PixY1 REAL NOT NULL, PlanX1 REAL NOT NULL, PlanY1 REAL NOT NULL,
    PixX2 REAL NOT NULL, PixY2 REAL NOT NULL, PlanX2 REAL NOT NULL, PlanY2 REAL NOT NULL,
    Rotation INTEGER NOT NULL DEFAULT 0,
    Opacity  REAL NOT NULL DEFAULT 1 CHECK (Opacity BETWEEN 0 AND 1),
    Shown    INTEGER NOT NULL DEFAULT 1
);

-- The outline of a structure of other than four vertices, vertex by vertex (Seq 1, 2, …; the
-- last joins back to the first), in plan metres. A structure of four vertices keeps them in
-- the corner fields of IDPM and has no rows here; one with rows here has in its corner fields
-- the rectangle around it. Its numbers move with IDPM's after a delete, through the negative
-- numbers like IDPM's.
--
-- PlanCrs: the coordinate system of a plan's coordinates by its EPSG code; a plan without a
-- row is in local metres.
CREATE TABLE StructureVertex (
    NumPM   INTEGER NOT NULL,
    NumSoor INTEGER NOT NULL CHECK (NumSoor BETWEEN -32767 AND 32767 AND NumSoor <> 0),
    Seq     INTEGER NOT NULL CHECK (Seq >= 1),
    X REAL NOT NULL,
    Y REAL NOT NULL,
    PRIMARY KEY (NumPM, NumSoor, Seq)
);

CREATE TABLE PlanCrs (
    NumPM INTEGER NOT NULL PRIMARY KEY,
    Epsg  INTEGER NOT NULL CHECK (Epsg > 0)
);

-- Scenario: a charge kept with a plan under a name unique in the plan, and where it is stored
-- (X, Y, plan metres). HeatPerMole 1: Heat is in kJ/mol and MolarMass converts it; Air 1: the
-- charge is in the air, else on the ground. Revision grows with every change, so that a change
-- made by another user meanwhile is noticed; the highest LastUsed of a plan marks the scenario
-- used last.
CREATE TABLE Scenario (
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
