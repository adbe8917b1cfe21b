-- The system database qlvmsys.db: the meter types the program knows and the
-- parameter menu of each type. The build turns this file into the database
-- with the sqlite3 command-line tool; the program opens it read-only.
--
-- ParaMenu_Cmd is the parameter's position k in its type's menu (register 2k
-- of the meter). ParaMenu_Dot 1 means the register holds tenths.
-- ParaMenu_Default is the raw register value a new meter of the type holds
-- (tenths where ParaMenu_Dot is 1); the meter simulator starts from it.

BEGIN TRANSACTION;

CREATE TABLE METERTYPE (
  ID INTEGER PRIMARY KEY,
  METERTYPE TEXT NOT NULL,
  ISACTIVE INTEGER NOT NULL DEFAULT 1,
  CHANNELS INTEGER NOT NULL CHECK (CHANNELS >= 1),
  MENUAMOUNT INTEGER NOT NULL CHECK (MENUAMOUNT BETWEEN 0 AND 50)
);

CREATE TABLE YbParaMenu (
  ID INTEGER PRIMARY KEY,
  ParaMenu_Type INTEGER NOT NULL,
  ParaMenu_Cmd INTEGER NOT NULL,
  ParaMenu_CaptionC TEXT NOT NULL,
  ParaMenu_CaptionE TEXT NOT NULL,
  ParaMenu_Dot INTEGER NOT NULL DEFAULT 0,
  ParaMenu_Default INTEGER NOT NULL DEFAULT 0 CHECK (ParaMenu_Default BETWEEN -32768 AND 32767)
);

-- ID, METERTYPE, ISACTIVE, CHANNELS, MENUAMOUNT
INSERT INTO METERTYPE VALUES (1, 'TX-101', 1, 1, 34); -- single-loop PID process controller
INSERT INTO METERTYPE VALUES (2, 'TX-202', 1, 2, 42); -- two-loop process controller
INSERT INTO METERTYPE VALUES (3, 'TX-304', 1, 4, 36); -- four-channel temperature controller
INSERT INTO METERTYPE VALUES (4, 'TX-408', 1, 8, 50); -- eight-channel temperature scanner with alarms
INSERT INTO METERTYPE VALUES (5, 'TX-510', 1, 1, 12); -- single-channel on/off temperature controller
INSERT INTO METERTYPE VALUES (6, 'TX-620', 1, 1, 24); -- single-channel ramp/soak temperature controller
INSERT INTO METERTYPE VALUES (7, 'TX-090', 0, 1, 10); -- earlier single-loop controller, no longer supported

-- ID, ParaMenu_Type, ParaMenu_Cmd, ParaMenu_CaptionC, ParaMenu_CaptionE, ParaMenu_Dot, ParaMenu_Default

-- TX-101: single-loop PID process controller, 34 parameters
INSERT INTO YbParaMenu VALUES (1, 1, 0, '设定值', 'Set Value', 1, 500);
INSERT INTO YbParaMenu VALUES (2, 1, 1, '第一报警值', 'Alarm 1 Value', 1, 900);
INSERT INTO YbParaMenu VALUES (3, 1, 2, '第二报警值', 'Alarm 2 Value', 1, 100);
INSERT INTO YbParaMenu VALUES (4, 1, 3, '第一报警方式', 'Alarm 1 Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (5, 1, 4, '第二报警方式', 'Alarm 2 Mode', 0, 2);
INSERT INTO YbParaMenu VALUES (6, 1, 5, '报警回差', 'Alarm Hysteresis', 1, 5);
INSERT INTO YbParaMenu VALUES (7, 1, 6, '控制回差', 'Control Hysteresis', 1, 5);
INSERT INTO YbParaMenu VALUES (8, 1, 7, '比例带P', 'Proportional Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (9, 1, 8, '积分时间I', 'Integral Time I', 0, 240);
INSERT INTO YbParaMenu VALUES (10, 1, 9, '微分时间D', 'Derivative Time D', 0, 60);
INSERT INTO YbParaMenu VALUES (11, 1, 10, '控制周期', 'Control Cycle', 0, 20);
INSERT INTO YbParaMenu VALUES (12, 1, 11, '自整定', 'Auto-Tuning', 0, 0);
INSERT INTO YbParaMenu VALUES (13, 1, 12, '输入类型', 'Input Type', 0, 4);
INSERT INTO YbParaMenu VALUES (14, 1, 13, '量程下限', 'Range Low', 1, 0);
INSERT INTO YbParaMenu VALUES (15, 1, 14, '量程上限', 'Range High', 1, 1000);
INSERT INTO YbParaMenu VALUES (16, 1, 15, '小数点位置', 'Decimal Point', 0, 1);
INSERT INTO YbParaMenu VALUES (17, 1, 16, '测量值修正', 'PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (18, 1, 17, '数字滤波', 'Digital Filter', 0, 2);
INSERT INTO YbParaMenu VALUES (19, 1, 18, '输出类型', 'Output Type', 0, 1);
INSERT INTO YbParaMenu VALUES (20, 1, 19, '输出下限', 'Output Low Limit', 1, 0);
INSERT INTO YbParaMenu VALUES (21, 1, 20, '输出上限', 'Output High Limit', 1, 1000);
INSERT INTO YbParaMenu VALUES (22, 1, 21, '控制方式', 'Control Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (23, 1, 22, '正反作用', 'Control Action', 0, 0);
INSERT INTO YbParaMenu VALUES (24, 1, 23, '升温斜率', 'Ramp Rate', 1, 0);
INSERT INTO YbParaMenu VALUES (25, 1, 24, '运行/停止', 'Run/Stop', 0, 1);
INSERT INTO YbParaMenu VALUES (26, 1, 25, '自动/手动', 'Auto/Manual', 0, 0);
INSERT INTO YbParaMenu VALUES (27, 1, 26, '手动输出值', 'Manual Output', 1, 0);
INSERT INTO YbParaMenu VALUES (28, 1, 27, '变送输出下限', 'Retrans. Low', 1, 0);
INSERT INTO YbParaMenu VALUES (29, 1, 28, '变送输出上限', 'Retrans. High', 1, 1000);
INSERT INTO YbParaMenu VALUES (30, 1, 29, '上电报警抑制', 'Power-on Alarm Inhibit', 0, 1);
INSERT INTO YbParaMenu VALUES (31, 1, 30, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (32, 1, 31, '波特率', 'Baud Rate', 0, 3);
INSERT INTO YbParaMenu VALUES (33, 1, 32, '校验方式', 'Parity', 0, 0);
INSERT INTO YbParaMenu VALUES (34, 1, 33, '参数锁', 'Parameter Lock', 0, 0);

-- TX-202: two-loop process controller, 42 parameters
INSERT INTO YbParaMenu VALUES (35, 2, 0, '第1路设定值', 'CH1 Set Value', 1, 500);
INSERT INTO YbParaMenu VALUES (36, 2, 1, '第1路第一报警值', 'CH1 Alarm 1 Value', 1, 900);
INSERT INTO YbParaMenu VALUES (37, 2, 2, '第1路第二报警值', 'CH1 Alarm 2 Value', 1, 100);
INSERT INTO YbParaMenu VALUES (38, 2, 3, '第1路第一报警方式', 'CH1 Alarm 1 Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (39, 2, 4, '第1路第二报警方式', 'CH1 Alarm 2 Mode', 0, 2);
INSERT INTO YbParaMenu VALUES (40, 2, 5, '第1路报警回差', 'CH1 Alarm Hysteresis', 1, 5);
INSERT INTO YbParaMenu VALUES (41, 2, 6, '第1路比例带P', 'CH1 Prop. Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (42, 2, 7, '第1路积分时间I', 'CH1 Integral Time I', 0, 240);
INSERT INTO YbParaMenu VALUES (43, 2, 8, '第1路微分时间D', 'CH1 Derivative Time D', 0, 60);
INSERT INTO YbParaMenu VALUES (44, 2, 9, '第1路控制周期', 'CH1 Control Cycle', 0, 20);
INSERT INTO YbParaMenu VALUES (45, 2, 10, '第1路输入类型', 'CH1 Input Type', 0, 4);
INSERT INTO YbParaMenu VALUES (46, 2, 11, '第1路量程下限', 'CH1 Range Low', 1, 0);
INSERT INTO YbParaMenu VALUES (47, 2, 12, '第1路量程上限', 'CH1 Range High', 1, 1000);
INSERT INTO YbParaMenu VALUES (48, 2, 13, '第1路测量值修正', 'CH1 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (49, 2, 14, '第1路输出下限', 'CH1 Output Low Limit', 1, 0);
INSERT INTO YbParaMenu VALUES (50, 2, 15, '第1路输出上限', 'CH1 Output High Limit', 1, 1000);
INSERT INTO YbParaMenu VALUES (51, 2, 16, '第1路控制方式', 'CH1 Control Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (52, 2, 17, '第1路运行/停止', 'CH1 Run/Stop', 0, 1);
INSERT INTO YbParaMenu VALUES (53, 2, 18, '第2路设定值', 'CH2 Set Value', 1, 300);
INSERT INTO YbParaMenu VALUES (54, 2, 19, '第2路第一报警值', 'CH2 Alarm 1 Value', 1, 900);
INSERT INTO YbParaMenu VALUES (55, 2, 20, '第2路第二报警值', 'CH2 Alarm 2 Value', 1, 100);
INSERT INTO YbParaMenu VALUES (56, 2, 21, '第2路第一报警方式', 'CH2 Alarm 1 Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (57, 2, 22, '第2路第二报警方式', 'CH2 Alarm 2 Mode', 0, 2);
INSERT INTO YbParaMenu VALUES (58, 2, 23, '第2路报警回差', 'CH2 Alarm Hysteresis', 1, 5);
INSERT INTO YbParaMenu VALUES (59, 2, 24, '第2路比例带P', 'CH2 Prop. Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (60, 2, 25, '第2路积分时间I', 'CH2 Integral Time I', 0, 240);
INSERT INTO YbParaMenu VALUES (61, 2, 26, '第2路微分时间D', 'CH2 Derivative Time D', 0, 60);
INSERT INTO YbParaMenu VALUES (62, 2, 27, '第2路控制周期', 'CH2 Control Cycle', 0, 20);
INSERT INTO YbParaMenu VALUES (63, 2, 28, '第2路输入类型', 'CH2 Input Type', 0, 4);
INSERT INTO YbParaMenu VALUES (64, 2, 29, '第2路量程下限', 'CH2 Range Low', 1, 0);
INSERT INTO YbParaMenu VALUES (65, 2, 30, '第2路量程上限', 'CH2 Range High', 1, 1000);
INSERT INTO YbParaMenu VALUES (66, 2, 31, '第2路测量值修正', 'CH2 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (67, 2, 32, '第2路输出下限', 'CH2 Output Low Limit', 1, 0);
INSERT INTO YbParaMenu VALUES (68, 2, 33, '第2路输出上限', 'CH2 Output High Limit', 1, 1000);
INSERT INTO YbParaMenu VALUES (69, 2, 34, '第2路控制方式', 'CH2 Control Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (70, 2, 35, '第2路运行/停止', 'CH2 Run/Stop', 0, 1);
INSERT INTO YbParaMenu VALUES (71, 2, 36, '小数点位置', 'Decimal Point', 0, 1);
INSERT INTO YbParaMenu VALUES (72, 2, 37, '数字滤波', 'Digital Filter', 0, 2);
INSERT INTO YbParaMenu VALUES (73, 2, 38, '自整定', 'Auto-Tuning', 0, 0);
INSERT INTO YbParaMenu VALUES (74, 2, 39, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (75, 2, 40, '波特率', 'Baud Rate', 0, 3);
INSERT INTO YbParaMenu VALUES (76, 2, 41, '参数锁', 'Parameter Lock', 0, 0);

-- TX-304: four-channel temperature controller, 36 parameters
INSERT INTO YbParaMenu VALUES (77, 3, 0, '第1路设定值', 'CH1 Set Value', 1, 1000);
INSERT INTO YbParaMenu VALUES (78, 3, 1, '第1路上限报警值', 'CH1 High Alarm', 1, 1200);
INSERT INTO YbParaMenu VALUES (79, 3, 2, '第1路下限报警值', 'CH1 Low Alarm', 1, 0);
INSERT INTO YbParaMenu VALUES (80, 3, 3, '第1路比例带P', 'CH1 Prop. Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (81, 3, 4, '第1路积分时间I', 'CH1 Integral Time I', 0, 200);
INSERT INTO YbParaMenu VALUES (82, 3, 5, '第1路微分时间D', 'CH1 Derivative Time D', 0, 50);
INSERT INTO YbParaMenu VALUES (83, 3, 6, '第1路测量值修正', 'CH1 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (84, 3, 7, '第2路设定值', 'CH2 Set Value', 1, 1200);
INSERT INTO YbParaMenu VALUES (85, 3, 8, '第2路上限报警值', 'CH2 High Alarm', 1, 1400);
INSERT INTO YbParaMenu VALUES (86, 3, 9, '第2路下限报警值', 'CH2 Low Alarm', 1, 0);
INSERT INTO YbParaMenu VALUES (87, 3, 10, '第2路比例带P', 'CH2 Prop. Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (88, 3, 11, '第2路积分时间I', 'CH2 Integral Time I', 0, 200);
INSERT INTO YbParaMenu VALUES (89, 3, 12, '第2路微分时间D', 'CH2 Derivative Time D', 0, 50);
INSERT INTO YbParaMenu VALUES (90, 3, 13, '第2路测量值修正', 'CH2 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (91, 3, 14, '第3路设定值', 'CH3 Set Value', 1, 800);
INSERT INTO YbParaMenu VALUES (92, 3, 15, '第3路上限报警值', 'CH3 High Alarm', 1, 1000);
INSERT INTO YbParaMenu VALUES (93, 3, 16, '第3路下限报警值', 'CH3 Low Alarm', 1, 0);
INSERT INTO YbParaMenu VALUES (94, 3, 17, '第3路比例带P', 'CH3 Prop. Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (95, 3, 18, '第3路积分时间I', 'CH3 Integral Time I', 0, 200);
INSERT INTO YbParaMenu VALUES (96, 3, 19, '第3路微分时间D', 'CH3 Derivative Time D', 0, 50);
INSERT INTO YbParaMenu VALUES (97, 3, 20, '第3路测量值修正', 'CH3 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (98, 3, 21, '第4路设定值', 'CH4 Set Value', 1, 600);
INSERT INTO YbParaMenu VALUES (99, 3, 22, '第4路上限报警值', 'CH4 High Alarm', 1, 800);
INSERT INTO YbParaMenu VALUES (100, 3, 23, '第4路下限报警值', 'CH4 Low Alarm', 1, 0);
INSERT INTO YbParaMenu VALUES (101, 3, 24, '第4路比例带P', 'CH4 Prop. Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (102, 3, 25, '第4路积分时间I', 'CH4 Integral Time I', 0, 200);
INSERT INTO YbParaMenu VALUES (103, 3, 26, '第4路微分时间D', 'CH4 Derivative Time D', 0, 50);
INSERT INTO YbParaMenu VALUES (104, 3, 27, '第4路测量值修正', 'CH4 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (105, 3, 28, '输入类型', 'Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (106, 3, 29, '温度单位', 'Temperature Unit', 0, 0);
INSERT INTO YbParaMenu VALUES (107, 3, 30, '数字滤波', 'Digital Filter', 0, 3);
INSERT INTO YbParaMenu VALUES (108, 3, 31, '控制周期', 'Control Cycle', 0, 2);
INSERT INTO YbParaMenu VALUES (109, 3, 32, '报警回差', 'Alarm Hysteresis', 1, 10);
INSERT INTO YbParaMenu VALUES (110, 3, 33, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (111, 3, 34, '波特率', 'Baud Rate', 0, 3);
INSERT INTO YbParaMenu VALUES (112, 3, 35, '运行/停止', 'Run/Stop', 0, 1);

-- TX-408: eight-channel temperature scanner with alarms, 50 parameters
INSERT INTO YbParaMenu VALUES (113, 4, 0, '第1路输入类型', 'CH1 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (114, 4, 1, '第1路上限报警值', 'CH1 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (115, 4, 2, '第1路下限报警值', 'CH1 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (116, 4, 3, '第1路测量值修正', 'CH1 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (117, 4, 4, '第1路通道使能', 'CH1 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (118, 4, 5, '第2路输入类型', 'CH2 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (119, 4, 6, '第2路上限报警值', 'CH2 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (120, 4, 7, '第2路下限报警值', 'CH2 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (121, 4, 8, '第2路测量值修正', 'CH2 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (122, 4, 9, '第2路通道使能', 'CH2 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (123, 4, 10, '第3路输入类型', 'CH3 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (124, 4, 11, '第3路上限报警值', 'CH3 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (125, 4, 12, '第3路下限报警值', 'CH3 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (126, 4, 13, '第3路测量值修正', 'CH3 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (127, 4, 14, '第3路通道使能', 'CH3 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (128, 4, 15, '第4路输入类型', 'CH4 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (129, 4, 16, '第4路上限报警值', 'CH4 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (130, 4, 17, '第4路下限报警值', 'CH4 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (131, 4, 18, '第4路测量值修正', 'CH4 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (132, 4, 19, '第4路通道使能', 'CH4 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (133, 4, 20, '第5路输入类型', 'CH5 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (134, 4, 21, '第5路上限报警值', 'CH5 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (135, 4, 22, '第5路下限报警值', 'CH5 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (136, 4, 23, '第5路测量值修正', 'CH5 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (137, 4, 24, '第5路通道使能', 'CH5 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (138, 4, 25, '第6路输入类型', 'CH6 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (139, 4, 26, '第6路上限报警值', 'CH6 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (140, 4, 27, '第6路下限报警值', 'CH6 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (141, 4, 28, '第6路测量值修正', 'CH6 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (142, 4, 29, '第6路通道使能', 'CH6 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (143, 4, 30, '第7路输入类型', 'CH7 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (144, 4, 31, '第7路上限报警值', 'CH7 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (145, 4, 32, '第7路下限报警值', 'CH7 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (146, 4, 33, '第7路测量值修正', 'CH7 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (147, 4, 34, '第7路通道使能', 'CH7 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (148, 4, 35, '第8路输入类型', 'CH8 Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (149, 4, 36, '第8路上限报警值', 'CH8 High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (150, 4, 37, '第8路下限报警值', 'CH8 Low Alarm', 1, -100);
INSERT INTO YbParaMenu VALUES (151, 4, 38, '第8路测量值修正', 'CH8 PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (152, 4, 39, '第8路通道使能', 'CH8 Channel Enable', 0, 1);
INSERT INTO YbParaMenu VALUES (153, 4, 40, '报警回差', 'Alarm Hysteresis', 1, 20);
INSERT INTO YbParaMenu VALUES (154, 4, 41, '温度单位', 'Temperature Unit', 0, 0);
INSERT INTO YbParaMenu VALUES (155, 4, 42, '数字滤波', 'Digital Filter', 0, 3);
INSERT INTO YbParaMenu VALUES (156, 4, 43, '巡检时间', 'Scan Interval', 0, 2);
INSERT INTO YbParaMenu VALUES (157, 4, 44, '小数点位置', 'Decimal Point', 0, 1);
INSERT INTO YbParaMenu VALUES (158, 4, 45, '报警输出方式', 'Alarm Output Mode', 0, 0);
INSERT INTO YbParaMenu VALUES (159, 4, 46, '蜂鸣器', 'Buzzer', 0, 1);
INSERT INTO YbParaMenu VALUES (160, 4, 47, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (161, 4, 48, '波特率', 'Baud Rate', 0, 3);
INSERT INTO YbParaMenu VALUES (162, 4, 49, '校验方式', 'Parity', 0, 0);

-- TX-510: single-channel on/off temperature controller, 12 parameters
INSERT INTO YbParaMenu VALUES (163, 5, 0, '设定值', 'Set Value', 1, 1000);
INSERT INTO YbParaMenu VALUES (164, 5, 1, '控制回差', 'Control Hysteresis', 1, 20);
INSERT INTO YbParaMenu VALUES (165, 5, 2, '上限报警值', 'High Alarm', 1, 1500);
INSERT INTO YbParaMenu VALUES (166, 5, 3, '报警方式', 'Alarm Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (167, 5, 4, '输入类型', 'Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (168, 5, 5, '测量值修正', 'PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (169, 5, 6, '温度单位', 'Temperature Unit', 0, 0);
INSERT INTO YbParaMenu VALUES (170, 5, 7, '正反作用', 'Control Action', 0, 0);
INSERT INTO YbParaMenu VALUES (171, 5, 8, '量程下限', 'Range Low', 1, 0);
INSERT INTO YbParaMenu VALUES (172, 5, 9, '量程上限', 'Range High', 1, 4000);
INSERT INTO YbParaMenu VALUES (173, 5, 10, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (174, 5, 11, '波特率', 'Baud Rate', 0, 3);

-- TX-620: single-channel ramp/soak temperature controller, 24 parameters
INSERT INTO YbParaMenu VALUES (175, 6, 0, '设定值', 'Set Value', 1, 800);
INSERT INTO YbParaMenu VALUES (176, 6, 1, '升温斜率', 'Ramp Rate', 1, 50);
INSERT INTO YbParaMenu VALUES (177, 6, 2, '保温时间', 'Soak Time', 0, 30);
INSERT INTO YbParaMenu VALUES (178, 6, 3, '比例带P', 'Proportional Band P', 1, 200);
INSERT INTO YbParaMenu VALUES (179, 6, 4, '积分时间I', 'Integral Time I', 0, 180);
INSERT INTO YbParaMenu VALUES (180, 6, 5, '微分时间D', 'Derivative Time D', 0, 45);
INSERT INTO YbParaMenu VALUES (181, 6, 6, '控制周期', 'Control Cycle', 0, 2);
INSERT INTO YbParaMenu VALUES (182, 6, 7, '自整定', 'Auto-Tuning', 0, 0);
INSERT INTO YbParaMenu VALUES (183, 6, 8, '第一报警值', 'Alarm 1 Value', 1, 1000);
INSERT INTO YbParaMenu VALUES (184, 6, 9, '第一报警方式', 'Alarm 1 Mode', 0, 1);
INSERT INTO YbParaMenu VALUES (185, 6, 10, '第二报警值', 'Alarm 2 Value', 1, 0);
INSERT INTO YbParaMenu VALUES (186, 6, 11, '第二报警方式', 'Alarm 2 Mode', 0, 2);
INSERT INTO YbParaMenu VALUES (187, 6, 12, '报警回差', 'Alarm Hysteresis', 1, 10);
INSERT INTO YbParaMenu VALUES (188, 6, 13, '输入类型', 'Input Type', 0, 0);
INSERT INTO YbParaMenu VALUES (189, 6, 14, '量程下限', 'Range Low', 1, 0);
INSERT INTO YbParaMenu VALUES (190, 6, 15, '量程上限', 'Range High', 1, 12000);
INSERT INTO YbParaMenu VALUES (191, 6, 16, '测量值修正', 'PV Offset', 1, 0);
INSERT INTO YbParaMenu VALUES (192, 6, 17, '数字滤波', 'Digital Filter', 0, 2);
INSERT INTO YbParaMenu VALUES (193, 6, 18, '输出上限', 'Output High Limit', 1, 1000);
INSERT INTO YbParaMenu VALUES (194, 6, 19, '输出下限', 'Output Low Limit', 1, 0);
INSERT INTO YbParaMenu VALUES (195, 6, 20, '运行/停止', 'Run/Stop', 0, 0);
INSERT INTO YbParaMenu VALUES (196, 6, 21, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (197, 6, 22, '波特率', 'Baud Rate', 0, 3);
INSERT INTO YbParaMenu VALUES (198, 6, 23, '参数锁', 'Parameter Lock', 0, 0);

-- TX-090: earlier single-loop controller, no longer supported, 10 parameters
INSERT INTO YbParaMenu VALUES (199, 7, 0, '设定值', 'Set Value', 1, 500);
INSERT INTO YbParaMenu VALUES (200, 7, 1, '第一报警值', 'Alarm 1 Value', 1, 900);
INSERT INTO YbParaMenu VALUES (201, 7, 2, '第二报警值', 'Alarm 2 Value', 1, 100);
INSERT INTO YbParaMenu VALUES (202, 7, 3, '报警回差', 'Alarm Hysteresis', 1, 5);
INSERT INTO YbParaMenu VALUES (203, 7, 4, '比例带P', 'Proportional Band P', 1, 300);
INSERT INTO YbParaMenu VALUES (204, 7, 5, '积分时间I', 'Integral Time I', 0, 240);
INSERT INTO YbParaMenu VALUES (205, 7, 6, '微分时间D', 'Derivative Time D', 0, 60);
INSERT INTO YbParaMenu VALUES (206, 7, 7, '输入类型', 'Input Type', 0, 4);
INSERT INTO YbParaMenu VALUES (207, 7, 8, '通讯地址', 'Comm Address', 0, 1);
INSERT INTO YbParaMenu VALUES (208, 7, 9, '波特率', 'Baud Rate', 0, 2);

COMMIT;
