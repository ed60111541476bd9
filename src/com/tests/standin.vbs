' A scriptable stand-in for the page document: the names the control binds
' to by late binding (all, length, item, id, tagName, innerHTML, outerHTML,
' innerText, setAttribute, body, style and the style's properties), over a
' small tree that HTML written into it is parsed into. Written in VBScript
' because its classes can act on a property write (Property Let), which is
' how written HTML becomes elements the control then finds by id.

Function NewDocument(html)
  Dim d
  Set d = New StandInDocument
  d.Load html
  Set NewDocument = d
End Function

Class StandInStyle
  Public visibility
  Public color
  Public fontFamily
  Public fontSize
  Private x
  Private y
  Private Sub Class_Initialize()
    x = 0 : y = 0 : visibility = "" : color = "" : fontFamily = "" : fontSize = ""
  End Sub
  Private Function Pixels(v)
    Dim s
    s = Replace(CStr(v), "px", "")
    If IsNumeric(s) Then Pixels = CLng(s) Else Pixels = 0
  End Function
  Public Property Get left()
    left = x & "px"
  End Property
  Public Property Let left(v)
    x = Pixels(v)
  End Property
  Public Property Get top()
    top = y & "px"
  End Property
  Public Property Let top(v)
    y = Pixels(v)
  End Property
  Public Property Get pixelLeft()
    pixelLeft = x
  End Property
  Public Property Let pixelLeft(v)
    x = Pixels(v)
  End Property
  Public Property Get pixelTop()
    pixelTop = y
  End Property
  Public Property Let pixelTop(v)
    y = Pixels(v)
  End Property
End Class

Class StandInCollection
  Private items
  Private Sub Class_Initialize()
    Set items = CreateObject("Scripting.Dictionary")
  End Sub
  Public Sub Add(e)
    items.Add "k" & items.Count, e
  End Sub
  Public Property Get length()
    length = items.Count
  End Property
  Public Function item(i)
    If i >= 0 And i < items.Count Then
      Set item = items("k" & i)
    Else
      Set item = Nothing
    End If
  End Function
End Class

' An element, or (with an empty tag name) the document's root. Its children
' are elements and text strings.
Class StandInElement
  Public tagName
  Public id
  Public openTag
  Public closeTag
  Public parentEl
  Public style
  Public attributes
  Private kids

  Private Sub Class_Initialize()
    tagName = ""
    id = ""
    openTag = ""
    closeTag = ""
    Set parentEl = Nothing
    Set style = New StandInStyle
    Set attributes = CreateObject("Scripting.Dictionary")
    Set kids = CreateObject("Scripting.Dictionary")
  End Sub

  ' Children are kept in a dictionary keyed "k0", "k1"...: the script host
  ' here can't be trusted with ReDim, nor its dictionary with many number keys.
  Public Sub AddKid(k)
    kids.Add "k" & kids.Count, k
    If IsObject(k) Then Set k.parentEl = Me
  End Sub

  Public Sub ClearKids()
    Set kids = CreateObject("Scripting.Dictionary")
  End Sub

  ' Puts the parsed nodes of container in place of child old.
  Public Sub ReplaceKid(old, container)
    Dim saved, i
    Set saved = kids
    ClearKids
    For i = 0 To saved.Count - 1
      If IsObject(saved("k" & i)) Then
        If saved("k" & i) Is old Then
          container.MoveKidsTo Me
        Else
          AddKid saved("k" & i)
        End If
      Else
        AddKid saved("k" & i)
      End If
    Next
  End Sub

  Public Sub MoveKidsTo(target)
    Dim i
    For i = 0 To kids.Count - 1
      target.AddKid kids("k" & i)
    Next
    ClearKids
  End Sub

  Public Sub CollectInto(c)
    Dim i
    For i = 0 To kids.Count - 1
      If IsObject(kids("k" & i)) Then
        c.Add kids("k" & i)
        kids("k" & i).CollectInto c
      End If
    Next
  End Sub

  Public Property Get all()
    Dim c
    Set c = New StandInCollection
    CollectInto c
    Set all = c
  End Property

  Public Property Get innerHTML()
    Dim s, i
    s = ""
    For i = 0 To kids.Count - 1
      If IsObject(kids("k" & i)) Then s = s & kids("k" & i).outerHTML Else s = s & kids("k" & i)
    Next
    innerHTML = s
  End Property
  Public Property Let innerHTML(v)
    ClearKids
    ParseInto Me, CStr(v)
  End Property

  Public Property Get outerHTML()
    outerHTML = openTag & innerHTML & closeTag
  End Property
  Public Property Let outerHTML(v)
    Dim holder
    If parentEl Is Nothing Then Exit Property
    Set holder = New StandInElement
    ParseInto holder, CStr(v)
    parentEl.ReplaceKid Me, holder
  End Property

  Public Property Get innerText()
    Dim s, i
    s = ""
    For i = 0 To kids.Count - 1
      If IsObject(kids("k" & i)) Then s = s & kids("k" & i).innerText Else s = s & HtmlUnescape(kids("k" & i))
    Next
    innerText = s
  End Property
  Public Property Let innerText(v)
    ClearKids
    AddKid HtmlEscape(CStr(v))
  End Property

  Public Function setAttribute(name, value, flags)
    attributes(CStr(name)) = value
    If LCase(name) = "id" Then id = CStr(value)
  End Function
  Public Function getAttribute(name)
    If attributes.Exists(CStr(name)) Then getAttribute = attributes(CStr(name)) Else getAttribute = Null
  End Function
End Class

Class StandInDocument
  Private root
  Public Sub Load(html)
    Set root = New StandInElement
    ParseInto root, CStr(html)
  End Sub
  Public Property Get all()
    Set all = root.all
  End Property
  Public Property Get body()
    Dim c, i
    Set body = root
    Set c = root.all
    For i = 0 To c.length - 1
      If c.item(i).tagName = "BODY" Then
        Set body = c.item(i)
        Exit Property
      End If
    Next
  End Property
  ' For the test's own checks: the first element with the id, or Nothing.
  Public Function getElementById(wanted)
    Dim c, i
    Set getElementById = Nothing
    Set c = root.all
    For i = 0 To c.length - 1
      If c.item(i).id = wanted Then
        Set getElementById = c.item(i)
        Exit Function
      End If
    Next
  End Function
End Class

Function HtmlEscape(s)
  HtmlEscape = Replace(Replace(Replace(s, "&", "&amp;"), "<", "&lt;"), ">", "&gt;")
End Function

Function HtmlUnescape(s)
  HtmlUnescape = Replace(Replace(Replace(Replace(s, "&lt;", "<"), "&gt;", ">"), "&quot;", """"), "&amp;", "&")
End Function

' The end of the tag that starts at lt: the first ">" outside a quoted
' attribute value (a quote counts only right after "=").
Function TagEnd(html, lt)
  Dim i, c, q, n
  q = "" : n = Len(html)
  For i = lt + 1 To n
    c = Mid(html, i, 1)
    If q <> "" Then
      If c = q Then q = ""
    ElseIf c = ">" Then
      TagEnd = i
      Exit Function
    ElseIf (c = """" Or c = "'") And Mid(html, i - 1, 1) = "=" Then
      q = c
    End If
  Next
  TagEnd = 0
End Function

Function ParseId(tag)
  Dim p, rest, q, e
  ParseId = ""
  p = InStr(1, tag, " id=", vbTextCompare)
  If p = 0 Then Exit Function
  rest = Mid(tag, p + 4)
  q = Left(rest, 1)
  If q = """" Or q = "'" Then
    e = InStr(2, rest, q)
    If e > 0 Then ParseId = Mid(rest, 2, e - 2)
  Else
    e = 1
    Do While e <= Len(rest)
      If InStr(" >/" & vbTab, Mid(rest, e, 1)) > 0 Then Exit Do
      e = e + 1
    Loop
    ParseId = Left(rest, e - 1)
  End If
End Function

Function ParseTagName(tag)
  Dim e
  e = 2
  Do While e <= Len(tag)
    If InStr(" >/" & vbTab & vbCr & vbLf, Mid(tag, e, 1)) > 0 Then Exit Do
    e = e + 1
  Loop
  ParseTagName = UCase(Mid(tag, 2, e - 2))
End Function

Function IsVoid(name)
  IsVoid = InStr(" AREA BASE BR COL HR IMG INPUT LINK META PARAM SOURCE WBR ", " " & name & " ") > 0
End Function

' Parses html into children of container: elements nest by their end tags,
' script and style bodies stay text.
Sub ParseInto(container, html)
  Dim stack, depth, pos, lt, gt, tag, name, el, closing, i, n
  Set stack = CreateObject("Scripting.Dictionary")
  stack.Add "k0", container
  depth = 0
  pos = 1 : n = Len(html)
  Do While pos <= n
    lt = InStr(pos, html, "<")
    If lt = 0 Then
      stack("k" & depth).AddKid Mid(html, pos)
      Exit Do
    End If
    If lt > pos Then stack("k" & depth).AddKid Mid(html, pos, lt - pos)
    gt = TagEnd(html, lt)
    If gt = 0 Then
      stack("k" & depth).AddKid Mid(html, lt)
      Exit Do
    End If
    tag = Mid(html, lt, gt - lt + 1)
    pos = gt + 1
    If Mid(tag, 2, 1) = "/" Then
      name = UCase(Trim(Mid(tag, 3, Len(tag) - 3)))
      For i = depth To 1 Step -1
        If stack("k" & i).tagName = name Then
          stack("k" & i).closeTag = tag
          depth = i - 1
          Exit For
        End If
      Next
    ElseIf Mid(tag, 2, 1) = "!" Then
      stack("k" & depth).AddKid tag
    Else
      Set el = New StandInElement
      el.openTag = tag
      el.tagName = ParseTagName(tag)
      el.id = ParseId(tag)
      stack("k" & depth).AddKid el
      If el.tagName = "SCRIPT" Or el.tagName = "STYLE" Then
        closing = InStr(pos, html, "</" & el.tagName, vbTextCompare)
        If closing = 0 Then closing = n + 1
        If closing > pos Then el.AddKid Mid(html, pos, closing - pos)
        pos = closing
        gt = InStr(pos, html, ">")
        If gt > 0 Then
          el.closeTag = Mid(html, pos, gt - pos + 1)
          pos = gt + 1
        Else
          pos = n + 1
        End If
      ElseIf Not IsVoid(el.tagName) And Right(tag, 2) <> "/>" Then
        depth = depth + 1
        If stack.Exists("k" & depth) Then stack.Remove "k" & depth
        stack.Add "k" & depth, el
      End If
    End If
  Loop
End Sub
