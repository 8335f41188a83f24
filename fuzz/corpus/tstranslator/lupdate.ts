<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Other</name>
    <message>
        <location filename="s.cpp" line="8"/>
        <source>Open file</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <location filename="s.cpp" line="5"/>
        <source>Open file</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="s.cpp" line="6"/>
        <source>%n file(s)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <location filename="s.cpp" line="7"/>
        <source>Open file</source>
        <comment>menu</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="s.cpp" line="9"/>
        <source>A &amp; B &lt;i&gt;x&lt;/i&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
