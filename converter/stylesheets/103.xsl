<?xml version="1.0"?>
<!-- Entity form: one element per row, one child element per column. -->
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
            <xsl:element name="{name()}"><xsl:value-of select="."/></xsl:element>
          </xsl:for-each>
        </xsl:element>
      </xsl:for-each>
    </xsl:element>
  </xsl:template>
</xsl:stylesheet>
