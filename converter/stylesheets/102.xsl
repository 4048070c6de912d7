<?xml version="1.0"?>
<!-- Attribute form preceded by an inline XML-Data schema of the row element. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
    xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"
    xmlns:rs="urn:schemas-microsoft-com:rowset"
    xmlns:z="#RowsetSchema">
  <xsl:output method="xml" omit-xml-declaration="yes"/>
  <xsl:param name="rootName" select="'RS'"/>
  <xsl:param name="eltName" select="'row'"/>
  <xsl:template match="/">
    <xsl:element name="{$rootName}">
      <!-- The other prefixes in scope are declared again here because
           libxslt copies only the declarations made on a literal result
           element itself. -->
      <Schema xmlns="urn:schemas-microsoft-com:xml-data"
              xmlns:dt="urn:schemas-microsoft-com:datatypes"
              xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
              xmlns:rs="urn:schemas-microsoft-com:rowset"
              xmlns:z="#RowsetSchema"
              name="{$eltName}Schema">
        <ElementType name="{$eltName}" content="empty" model="closed">
          <xsl:for-each select="/xml/s:Schema/s:ElementType/s:AttributeType">
            <AttributeType name="{@name}" dt:type="{s:datatype/@*[1]}"/>
            <attribute type="{@name}"/>
          </xsl:for-each>
        </ElementType>
      </Schema>
      <xsl:for-each select="/xml/rs:data/z:row">
        <xsl:element name="{$eltName}" namespace="x-schema:#{$eltName}Schema">
          <xsl:for-each select="@*">
            <xsl:attribute name="{name()}"><xsl:value-of select="."/></xsl:attribute>
          </xsl:for-each>
        </xsl:element>
      </xsl:for-each>
    </xsl:element>
  </xsl:template>
</xsl:stylesheet>
