#!/usr/bin/python3
"""Writes the small hand-made seed inputs of the fuzz targets into
tests/fuzz/corpus/<target>/seed-*. Run with Debian's python3 (dbf, xlwt)."""
import datetime
import os
import shutil
import tempfile

import dbf
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
SEP = b"\n=LUMBROOK-FUZZ=\n"


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


# Delimited text, with and without a SCHEMA.INI.
put("text", "plain", b"ID,Name,Born,Amount\r\n1,\"Ann \"\"A\"\"\",1/2/2003,12.50\r\n2,Bob,,-3\r\n")
put("text", "schema", b"[t.csv]\r\nColNameHeader=False\r\nFormat=Delimited(;)\r\nCharacterSet=1252\r\n"
    b"MaxScanRows=2\r\nCol1=A Long\r\nCol2=B Text Width 5\r\nCol3=C DateTime\r\n" + SEP +
    b"1;\"x;y\nz\";2003-01-02 10:11:12\n2;\xe9t\xe9;\n")
put("text", "tab", b"[t.csv]\nFormat=TabDelimited\nCharacterSet=UNICODE\n" + SEP +
    "a\tb\n1\t2\n".encode("utf-16-le"))

# XML rowset.
put("rowsetxml", "rowset", b"""<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
 xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882" xmlns:rs="urn:schemas-microsoft-com:rowset" xmlns:z="#RowsetSchema">
<s:Schema id="RowsetSchema"><s:ElementType name="row" content="eltOnly">
<s:AttributeType name="ID" rs:number="1" rs:maybenull="false"><s:datatype dt:type="int" dt:maxLength="4"/></s:AttributeType>
<s:AttributeType name="Name" rs:number="2" rs:nullable="true"><s:datatype dt:type="string" dt:maxLength="50"/></s:AttributeType>
<s:AttributeType name="Born" rs:number="3"><s:datatype dt:type="dateTime"/></s:AttributeType>
<s:AttributeType name="Amt" rs:number="4"><s:datatype dt:type="number" rs:dbtype="currency" dt:maxLength="8"/></s:AttributeType>
<s:AttributeType name="Bin" rs:number="5"><s:datatype dt:type="bin.hex" dt:maxLength="4"/></s:AttributeType>
<s:extends type="rs:rowbase"/></s:ElementType></s:Schema>
<rs:data><z:row ID="1" Name="A &amp; B" Born="2003-01-02T10:11:12" Amt="1.5" Bin="0aff"/><z:row ID="2"/></rs:data></xml>
""")

# dBase / FoxPro tables with memo files, and a container.
tmp = tempfile.mkdtemp()
t = dbf.Table(os.path.join(tmp, "fox.dbf"), "name C(10); born D; note M; amt N(8,2); ok L; n I; y Y; t T",
              dbf_type="vfp")
t.open(dbf.READ_WRITE)
t.append(("Ann", datetime.date(2001, 2, 3), "long memo text " * 3, 12.5, True, 7, 1.25,
          datetime.datetime(2001, 2, 3, 4, 5, 6)))
t.append(("Bob", None, "", -1, False, -7, 0, None))
t.close()
put("dbf", "vfp", read(os.path.join(tmp, "fox.dbf")) + SEP + read(os.path.join(tmp, "fox.fpt")))
t = dbf.Table(os.path.join(tmp, "d3.dbf"), "name C(10); note M; n N(5,0); d D", dbf_type="db3")
t.open(dbf.READ_WRITE)
t.append(("x", "memo one", 3, datetime.date(1999, 12, 31)))
t.append(("y", "", 4, None))
t.close()
put("dbf", "db3", read(os.path.join(tmp, "d3.dbf")) + SEP + read(os.path.join(tmp, "d3.dbt")))
# A container is a table of objects with a .dct memo.
t = dbf.Table(os.path.join(tmp, "c.dbf"), "objectid I; parentid I; objecttype C(10); objectname M; property M",
              dbf_type="vfp")
t.open(dbf.READ_WRITE)
t.append((1, 1, "Database", "Database", ""))
t.append((2, 1, "Table", "t", "\x0b\x00\x00\x00\x01\x00\x01t.dbf\x00"))
t.append((3, 2, "Field", "long_field_name", ""))
t.append((4, 1, "View", "v", "SELECT * FROM t"))
t.close()
put("dbc", "container", read(os.path.join(tmp, "c.dbf")) + SEP + read(os.path.join(tmp, "c.fpt")) + SEP +
    read(os.path.join(tmp, "d3.dbf")))

# Excel: a BIFF8 stream and the whole compound document.
wb = xlwt.Workbook()
s = wb.add_sheet("S1")
s.write(0, 0, "Name")
s.write(0, 1, "Num")
s.write(1, 0, "abc \u00e9")
s.write(1, 1, 3.5)
s.write(2, 1, datetime.datetime(2020, 1, 2), xlwt.easyxf(num_format_str="yyyy-mm-dd"))
s.write(3, 0, True)
s.write(4, 0, xlwt.Formula("B2*2"))
s.write(5, 0, 123456)
wb.add_sheet("Other").write(5, 5, "x")
put("biff", "biff8", wb.get_biff_data())
xls = os.path.join(tmp, "a.xls")
wb.save(xls)
put("xls", "biff8", read(xls))

# SQL statements as the filter and sort build them, and hostile ones.
for i, (dialect, sql) in enumerate([
        (0, "SELECT * FROM [t.csv] WHERE   [Born] = #1/2/2003# ORDER BY [Name] DESC"),
        (1, "SELECT TOP 5 a.ID, MAX(Born) FROM [t] AS a INNER JOIN u ON a.ID = u.ID WHERE Name LIKE 'x*' "
            "AND Born > '2003-01-02' GROUP BY a.ID"),
        (2, "SELECT * FROM [Sheet1$] WHERE   [When] BETWEEN #2003-01-02 10:11# AND #10:11 PM#   AND [ID] <> 3"),
        (3, 'SELECT "Name" FROM t WHERE Born = {^2003-01-02} UNION SELECT Name FROM u ORDER BY 1'),
        (4, 'WITH c AS (SELECT * FROM t) SELECT * FROM c, "u" x WHERE x.Born IS NULL -- c\n'),
        (1, "SELECT * FROM t WHERE Name = 'it''s' /* note */ AND [we]]ird] = #99/99/9999#"),
        (0, "SELECT COALESCE(Born, [When]) FROM ((t)) WHERE ID IN (SELECT ID FROM t WHERE #)"),
]):
    put("sqltranslate", "sql%d" % i, bytes([dialect]) + sql.encode())

# Data links.
put("udl", "utf16", b"\xff\xfe" + "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\a.mdb;Extended Properties=\"DSN=x;UID={a;b}\"\r\n"
    .encode("utf-16-le"))
put("udl", "utf8", b"[oledb]\n;c\nProvider=MSDASQL.1;Extended Properties=\"Driver={SQLite3};Database=/tmp/x\"\n")

# The INI editor: section, key and value, then the file.
put("inifile", "edit", b"t.csv\nFormat\nCSVDelimited" + SEP +
    b"; comment\r\n[T.CSV]\r\nColNameHeader=True\r\nCol1=A Long\r\n\r\n[other.txt]\r\nFormat=TabDelimited\r\n")
put("inifile", "new", b"x.txt\nCharacterSet\nANSI" + SEP + b"[a]\nb=c")

# Quillon's loaders.
put("quillon", "doc", b"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE r [<!ENTITY e \"v\">]>"
    b"<r a=\"1\"><x:b xmlns:x=\"urn:x\">&e;&#233;<![CDATA[<c>]]></x:b><?pi d?><!-- c --></r>")

# Saved Access queries: an expression, then MSysQueries rows.
put("jetquery", "select", b"IIf([a] & \"x\" = 'y', Yes, Mid$(b, 2)) / 3 \\ 2 Mod 4" + SEP +
    b"1 1|||\n5 0|Orders|o||\n6 0|||o.ID|\n6 0|Total||Sum([Amount])|\n8 0|||[o].[Date] > #1/2/2003#|\n"
    b"9 0|||o.ID|\n11 0|D||o.ID|")

shutil.rmtree(tmp)
