#!/usr/bin/python3
"""Finishes a package made by wixl with what wixl 0.101 cannot say or makes up.

- Each component that makes Morvex the owner of a patch extension (a default
  value "Morvex.Patch" under Software\\Classes\\.EXT) is installed only where
  that extension has no owner yet, or has Morvex: its condition reads the
  property OWNER_EXT that a registry search fills. wixl drops component
  conditions.
- KEPT_CANDIDATES lists the user's keys the package writes in and their
  parents, separated by ';': the keys whose state the custom action
  FindKeptKeys notes at install, so that the uninstall leaves each that was
  there before.
- The package code and the creation and save times become the ones given,
  where wixl draws a random code and takes the clock.
Usage: finish_msi.py PACKAGE.msi PACKAGE_CODE SOURCE_DATE_EPOCH
"""
import sys

import gi

gi.require_version("Libmsi", "1.0")
from gi.repository import Libmsi  # noqa: E402

# Seconds from 1601-01-01, where a Windows FILETIME counts from, to 1970-01-01.
FILETIME_EPOCH = 11644473600


def run(database, sql):
    query = Libmsi.Query.new(database, sql)
    query.execute(None)
    return query


def rows(database, sql):
    query = run(database, sql)
    while (record := query.fetch()) is not None:
        yield record
    query.close()


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: finish_msi.py PACKAGE.msi PACKAGE_CODE SOURCE_DATE_EPOCH")
    path, code, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    database = Libmsi.Database.new(path, Libmsi.DbFlags.TRANSACT, None)
    owners = list(rows(database, "SELECT `Key`, `Component_` FROM `Registry` "
                                 "WHERE `Value` = 'Morvex.Patch' AND `Name` IS NULL"))
    if not owners:
        sys.exit(f"finish_msi.py: {path} claims no patch extension")
    for record in owners:
        extension = record.get_string(1).rsplit("\\", 1)[1]
        prop = "OWNER_" + extension.lstrip(".").upper()
        condition = f'NOT {prop} OR {prop} = "Morvex.Patch"'
        run(database, f"UPDATE `Component` SET `Condition` = '{condition}' "
                      f"WHERE `Component` = '{record.get_string(2)}'").close()
    keys = set()
    for record in rows(database, "SELECT `Key` FROM `Registry` WHERE `Root` = 1"):
        parts = record.get_string(1).split("\\")
        keys.update("\\".join(parts[:n]) for n in range(1, len(parts) + 1))
    run(database, "INSERT INTO `Property` (`Property`, `Value`) "
                  f"VALUES ('KEPT_CANDIDATES', '{';'.join(sorted(keys))}')").close()
    info = Libmsi.SummaryInfo.new(database, 3)
    filetime = (epoch + FILETIME_EPOCH) * 10_000_000
    if not (info.set_string(Libmsi.Property.UUID, code)
            and info.set_filetime(Libmsi.Property.CREATED_TM, filetime)
            and info.set_filetime(Libmsi.Property.LASTSAVED_TM, filetime)
            and info.persist() and database.commit()):
        sys.exit(f"finish_msi.py: could not write {path}")


main()
