-- The data database qlvmdata.db: the register of installed meters, one row
-- per meter, at most 64. The program ships it empty and fills it from the
-- meter dialogs. Every meter column is written as text; Yb_Id holds the
-- meter's address 0..63 and the row at offset n from the first row (in
-- ascending ID) is the meter with address n.

CREATE TABLE YbGL (
  ID INTEGER PRIMARY KEY,
  Yb_Id TEXT,
  Yb_Azwz TEXT,
  Yb_Xh TEXT,
  Yb_Type TEXT,
  Yb_Jddj TEXT,
  Yb_Clfw TEXT,
  Yb_Name TEXT,
  Yb_Ccbh TEXT,
  Yb_Ccny TEXT,
  Yb_Zzc TEXT,
  Yb_Ssdw TEXT,
  Yb_Wg TEXT,
  Yb_Bz TEXT
);
