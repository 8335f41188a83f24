<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>MainWindow</name>
    <message>
        <location filename="mainwindow.cpp" line="5"/>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s)</source>
        <comment>count</comment>
        <translation type="unfinished">
            <numerusform>%n Datei</numerusform>
            <numerusform>%n Dateien</numerusform>
        </translation>
    </message>
    <message>
        <source>A &amp; B</source>
        <extracomment>x</extracomment>
        <translation type="vanished">A &amp; B</translation>
    </message>
</context>
</TS>
