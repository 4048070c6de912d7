<?xml version="1.0"?>
<!-- Attribute form: one element per row, one attribute per column. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
    xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"
    xmlns:rs="urn:schemas-microsoft-com:rowset"
    xmlns:z="#RowsetSchema">
  <xsl:output omit-xml-declaration="yes"/>
  <xsl:param name="rootName" select="'RS'"/>
  <xsl:param name="eltName" select="'row'"/>
  <xsl:template match="/">
    <xsl:element name="{$rootName}">
      <xsl:for-each select="/xml/rs:data/z:row">
        <xsl:element name="{$eltName}">
          <xsl:for-each select="@*">
            <xsl:attribute name="{name()}"><xsl:value-of select="."/></xsl:attribute>
          </xsl:for-each>
        </xsl:element>
      </xsl:for-each>
    </xsl:element>
  </xsl:template>
</xsl:stylesheet>
