<?xml version="1.0" standalone="yes"?>
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD attrname="Query" fieldtype="string" WIDTH="60"/>
      <FIELD attrname="Tipo" fieldtype="string" WIDTH="20"/>
      <FIELD attrname="Indice" fieldtype="i4"/>
      <FIELD attrname="SQL" fieldtype="bin.hex" SUBTYPE="Text"/>
    </FIELDS>
    <PARAMS/>
  </METADATA>
  <ROWDATA>
    <ROW Query="QRY_SED" Tipo="EXECUTE" Indice="0" SQL="SELECT * FROM t&#10;WHERE id = :ID"/>
    <ROW Query="VER_ZUR24" Tipo="24.1.0" Indice="0"/>
  </ROWDATA>
</DATAPACKET>
