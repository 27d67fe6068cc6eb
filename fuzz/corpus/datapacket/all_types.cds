<?xml version="1.0" standalone="yes"?>
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD attrname="SNOME" fieldtype="string" WIDTH="20"/>
      <FIELD attrname="IANNO" fieldtype="i4"/>
      <FIELD attrname="FIMP" fieldtype="fixed" DECIMALS="2" WIDTH="18"/>
      <FIELD attrname="RTASSO" fieldtype="r8"/>
      <FIELD attrname="DDATA" fieldtype="date"/>
      <FIELD attrname="MSQL" fieldtype="bin.hex" SUBTYPE="Text"/>
      <FIELD attrname="BDATI" fieldtype="bin.hex" SUBTYPE="Binary"/>
      <FIELD attrname="RIGO" fieldtype="string" WIDTH="4" calculated="true"/>
    </FIELDS>
    <PARAMS/>
  </METADATA>
  <ROWDATA>
    <ROW SNOME="Perch&#233; &quot;a&quot; &amp; &lt;b&gt;" IANNO="-2147483648" FIMP="-1234.5" RTASSO="0.1" DDATA="20240131" MSQL="SELECT *&#13;&#10;FROM&#9;T" BDATI="AAECA/8="/>
    <ROW IANNO="2024" RTASSO="1e+300" DDATA="00010101"/>
    <ROW/>
  </ROWDATA>
</DATAPACKET>
