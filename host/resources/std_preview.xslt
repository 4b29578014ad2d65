<?xml version="1.0" encoding="UTF-8"?>
<!-- The default preview of extracted data: any element tree shown as nested sections. An element's
     attributes and its text-only children form a table of names and values; repeated children
     holding only text-only children form one table with a row each; every other child is a
     section of its own. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/">
    <html>
      <head>
        <title><xsl:value-of select="name(*)"/></title>
        <style type="text/css">
          body { font-family: Tahoma, Verdana, Arial, sans-serif; font-size: 10pt; color: #202020; margin: 8px; }
          h1 { font-size: 13pt; margin: 0 0 6px 0; }
          h2 { font-size: 11pt; margin: 10px 0 4px 0; }
          div.sekcja div.sekcja { margin-left: 16px; }
          table { border-collapse: collapse; margin-bottom: 6px; }
          th, td { border: 1px solid #c8c8c8; padding: 2px 6px; text-align: left; vertical-align: top; }
          th { background: #ececec; font-weight: normal; color: #505050; }
          td.pusty { color: #909090; }
        </style>
      </head>
      <body>
        <xsl:apply-templates select="*" mode="section"/>
        <xsl:if test="not(*)"><p>Brak danych.</p></xsl:if>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="*" mode="section">
    <div class="sekcja">
      <xsl:choose>
        <xsl:when test="count(ancestor::*) = 0"><h1><xsl:value-of select="name()"/></h1></xsl:when>
        <xsl:otherwise><h2><xsl:value-of select="name()"/></h2></xsl:otherwise>
      </xsl:choose>
      <xsl:if test="@* or *[not(*)] or (not(*) and normalize-space(.) != '')">
        <table>
          <xsl:for-each select="@*">
            <tr><th><xsl:value-of select="name()"/></th><td><xsl:value-of select="."/></td></tr>
          </xsl:for-each>
          <xsl:for-each select="*[not(*)]">
            <tr><th><xsl:value-of select="name()"/></th><xsl:call-template name="cell"/></tr>
          </xsl:for-each>
          <xsl:if test="not(*)">
            <tr><th>wartość</th><td><xsl:value-of select="."/></td></tr>
          </xsl:if>
        </table>
      </xsl:if>
      <xsl:for-each select="*[*]">
        <xsl:variable name="n" select="name()"/>
        <xsl:if test="not(preceding-sibling::*[name() = $n])">
          <xsl:variable name="group" select="../*[name() = $n]"/>
          <xsl:choose>
            <xsl:when test="count($group) &gt; 1 and not($group/*/*)">
              <xsl:apply-templates select="." mode="table"><xsl:with-param name="rows" select="$group"/></xsl:apply-templates>
            </xsl:when>
            <xsl:otherwise><xsl:apply-templates select="$group" mode="section"/></xsl:otherwise>
          </xsl:choose>
        </xsl:if>
      </xsl:for-each>
    </div>
  </xsl:template>

  <!-- Repeated elements as one table: the columns are the first one's attributes and children. -->
  <xsl:template match="*" mode="table">
    <xsl:param name="rows"/>
    <xsl:variable name="first" select="."/>
    <h2><xsl:value-of select="name()"/> (<xsl:value-of select="count($rows)"/>)</h2>
    <table>
      <tr>
        <xsl:for-each select="$first/@* | $first/*"><th><xsl:value-of select="name()"/></th></xsl:for-each>
      </tr>
      <xsl:for-each select="$rows">
        <xsl:variable name="row" select="."/>
        <tr>
          <xsl:for-each select="$first/@*">
            <xsl:variable name="c" select="name()"/>
            <td><xsl:value-of select="$row/@*[name() = $c]"/></td>
          </xsl:for-each>
          <xsl:for-each select="$first/*">
            <xsl:variable name="c" select="name()"/>
            <xsl:for-each select="$row/*[name() = $c][1]"><xsl:call-template name="cell"/></xsl:for-each>
            <xsl:if test="not($row/*[name() = $c])"><td class="pusty"></td></xsl:if>
          </xsl:for-each>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>

  <xsl:template name="cell">
    <xsl:choose>
      <xsl:when test="normalize-space(.) = ''"><td class="pusty">—</td></xsl:when>
      <xsl:otherwise><td><xsl:value-of select="."/></td></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
