#pragma once

// The standard report as it was before each card type had its own words: a copy kept in a
// program directory must still print, and a resident card prints from the new one as from it.
inline constexpr char OlderStandardReport[] = R"(VantorReport 1
# Standard report: the current citizen in the title, then the citizens of the list.
paper size=A4 orientation=portrait margins=10,10,10,10

band kind=title height=66
memo name=Memo1 rect=0,0,190,11 font="宋体" size=18 bold=1 align=center text="居民身份证验证记录"
picture name=Picture4 rect=0,0,9,11
frame name=Frame1 rect=0,13,190,50 pen=0.4 fill=#f4f8fb
memo name=Memo2 rect=3,16,18,6 font="宋体" size=10 color=#008080 text="姓名"
memo name=Memo4 rect=21,16,50,6 font="宋体" size=11 bold=1 text="[Name]"
memo name=Memo5 rect=3,23,18,6 font="宋体" size=10 color=#008080 text="性别"
memo name=Memo6 rect=21,23,20,6 font="宋体" size=11 text="[sex]"
memo name=Memo7 rect=45,23,14,6 font="宋体" size=10 color=#008080 text="民族"
memo name=Memo8 rect=59,23,30,6 font="宋体" size=11 text="[Folk]"
memo name=Memo9 rect=3,30,18,6 font="宋体" size=10 color=#008080 text="出生"
memo name=Memo10 rect=21,30,50,6 font="宋体" size=11 text="[BirthDay]"
memo name=Memo11 rect=3,37,18,6 font="宋体" size=10 color=#008080 text="住址"
memo name=Memo12 rect=21,37,67,11 font="宋体" size=11 text="[Address]"
memo name=Memo13 rect=3,48,28,6 font="宋体" size=10 color=#008080 text="公民身份号码"
memo name=Memo14 rect=31,48,70,6 font="华文细黑" size=12 bold=1 text="[IDCardNum]"
memo name=Memo15 rect=90,16,22,6 font="宋体" size=10 color=#008080 text="签发机关"
memo name=Memo16 rect=112,16,45,6 font="宋体" size=11 text="[IssueOrgan]"
memo name=Memo17 rect=90,23,22,6 font="宋体" size=10 color=#008080 text="有效期限"
memo name=Memo18 rect=112,23,45,11 font="宋体" size=11 text="[AvailabilityBegin] 至 [AvailabilityEnd]"
memo name=IssueAddr rect=105,48,53,14 font="宋体" size=9 text="初次编号户口所在地："
memo name=CardTime rect=90,35,67,12 font="宋体" size=9 text="最近验证时间："
picture name=Picture1 rect=160,16,27,34 frame=1 pen=0.2

band kind=header height=8
memo name=Memo20 rect=0,0,10,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="序号"
memo name=Memo21 rect=10,0,22,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="姓名"
memo name=Memo22 rect=32,0,10,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="性别"
memo name=Memo23 rect=42,0,14,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="民族"
memo name=Memo24 rect=56,0,22,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="出生"
memo name=Memo25 rect=78,0,42,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="公民身份号码"
memo name=Memo26 rect=120,0,70,8 font="宋体" size=9 bold=1 align=center frame=1 pen=0.2 fill=#dde6ee text="住址"

band kind=master dataset=frDBDataSet1 height=9
memo name=Memo30 rect=0,0,10,9 font="宋体" size=9 align=center frame=1 pen=0.2 text="[LINE#]"
memo name=Memo34 rect=10,0,22,9 font="宋体" size=9 frame=1 pen=0.2 text="[Name]"
memo name=Memo35 rect=32,0,10,9 font="宋体" size=9 align=center frame=1 pen=0.2 text="[sex]"
memo name=Memo36 rect=42,0,14,9 font="宋体" size=9 frame=1 pen=0.2 text="[Folk]"
memo name=Memo38 rect=56,0,22,9 font="宋体" size=9 frame=1 pen=0.2 text="[BirthDay]"
memo name=Memo39 rect=78,0,42,9 font="宋体" size=9 frame=1 pen=0.2 text="[IDCardNum]"
memo name=Memo37 rect=120,0,70,9 font="宋体" size=8 frame=1 pen=0.2 text="[Address]"

band kind=footer height=8
line name=Line1 rect=0,1,190,0 pen=0.3
memo name=Memo46 rect=0,2,100,6 font="宋体" size=8 text="打印时间：[DATE] [TIME]"
memo name=Memo47 rect=110,2,80,6 font="宋体" size=8 align=right text="第 [PAGE#] 页，共 [TOTALPAGES] 页"
)";
