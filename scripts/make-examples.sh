#!/usr/bin/env bash
# Regenerates examples/ from the UTF-8 texts below (the files are committed; this documents them).
set -euo pipefail
cd "$(dirname "$0")/../examples"
crlf() { sed 's/$/\r/'; }

crlf <<'EOF' | iconv -f UTF-8 -t CP932 > shiftjis_quoted.csv
"郵便番号","都道府県","市区町村","町域","ﾌﾘｶﾞﾅ","備考"
"1000001","東京都","千代田区","千代田","ﾁﾖﾀﾞ",""
"1000002","東京都","千代田区","皇居外苑","ｺｳｷｮｶﾞｲｴﾝ","公園"
"0600000","北海道","札幌市中央区","以下に掲載がない場合","ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ","""大通""を含む"
"5300001","大阪府","大阪市北区","梅田","ｳﾒﾀﾞ","複数行の
備考"
"9000000","沖縄県","那覇市","以下に掲載がない場合","ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ","区切り,を含む"
EOF

{ printf '\xEF\xBB\xBF'; crlf <<'EOF'
品番,品名,単価,在庫,倉庫
A-001,ボールペン（黒）,120,350,東京
A-002,ボールペン（赤）,120,12,東京
B-010,ノート Ａ４,280,80,大阪
C-100,のり ①,95,0,名古屋
C-200,はさみ～大～,450,7,福岡
EOF
} > utf8_bom.csv

iconv -f UTF-8 -t EUC-JP > eucjp.csv <<'EOF'
日付,曜日,行事
2026/01/01,木,元日
2026/01/12,月,成人の日
2026/02/11,水,建国記念の日
2026/02/23,月,天皇誕生日
2026/03/20,金,春分の日
EOF

# Column C (所属) differs at data row 5; the title row holds the column names.
crlf <<'EOF' | iconv -f UTF-8 -t CP932 > column_check.csv
社員番号,氏名,所属,拠点
1001,山田 太郎,営業部,東京
1002,鈴木 花子,営業部,東京
1003,佐藤 一郎,営業部,東京
1004,高橋 美咲,営業部,大阪
1005,田中 健,営業二部,東京
1006,伊藤 さくら,営業部,東京
EOF
