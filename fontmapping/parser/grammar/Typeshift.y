/* Grammar of the font-bearing groups of a MIF file.
 *
 * The lexer (TypeshiftLexSpec.cpp) already balances the angle brackets of
 * every statement the grammar does not name and hands them over as CONTENT;
 * what reaches this grammar is the catalogs, text flows, tables, rows, text
 * lines and the Pgf, Font, CombinedFontDefn, Condition and Conditional
 * groups, each opened and closed by tokens of its own. The list of each
 * context has its own item symbol, so that the production that takes a Pgf
 * or Font group into a context tells the reduce action where the group was
 * found (the piece origin):
 *   1 CombinedFontDefn in the combined-font catalog
 *   2 Pgf in the paragraph catalog, and Pgf or Font groups outside every
 *     named context (the column formats of the table catalog)
 *   3 Font in the character catalog
 *   4 Pgf or Font in a text flow (paragraphs, font changes, footnotes)
 *   5 Pgf or Font in the table section (table formats, cells, titles)
 *   6 Pgf or Font in a text line
 *
 * Inside a group the lexer hands over statements nested up to three deep as
 * single content tokens; deeper ones open with NESTED_START and close with
 * the group's own end token, and the grammar pairs them.
 *
 * Content tokens go straight into the lists, so that most tokens cost one
 * shift and one reduction.
 *
 * Tables are made from this file by bison (--xml) and the converter in
 * ../tools; token numbers are fixed here and shared with the lexer.
 */
%define lr.type lalr
%token CONDITION_CATALOG_START 52
%token CFONT_CATALOG_START 53
%token PGF_CATALOG_START 54
%token FONT_CATALOG_START 55
%token TBLS_START 56
%token TEXTFLOW_START 57
%token TEXTLINE_START 58
%token CONTENT 59
%token NESTED_START 62
%token TBL_START 60
%token TBLS_END 61
%token TBL_ID 63
%token PGFTAG 64
%token PGF_START 65
%token FONT_START 66
%token ROW_START 67
%token TBL_END 68
%token CONDITIONAL_START 70
%token UNCONDITIONAL 71
%token ROW_END 72
%token TEXTRECT_ID 74
%token TEXTFLOW_END 75
%token CONDITIONAL_CONTENT 76
%token CONDITIONAL_END 77
%token CONDITION_START 79
%token CONDITION_CATALOG_END 80
%token CONDITION_CONTENT 81
%token CONDITION_END 82
%token CFONT_START 84
%token CFONT_CATALOG_END 85
%token CFONT_CONTENT 86
%token CFONT_END 87
%token FONT_CATALOG_END 89
%token FONT_CONTENT 90
%token FONT_END 91
%token UNIQUE_ID 93
%token TEXTLINE_END 94
%token PGF_CATALOG_END 96
%token PGF_CONTENT 97
%token PGF_END 98
%start document
%%
document: doc_items ;
doc_items: %empty | doc_items doc_item | doc_items CONTENT ;
doc_item: common
        | TEXTRECT_ID
        | TBL_ID
        | UNIQUE_ID
        | pgf
        | font
        | pgf_catalog
        | font_catalog
        | cfont_catalog
        | condition_catalog
        | textflow
        | tbls
        | textline
        | error ;

common: PGFTAG | conditional | UNCONDITIONAL ;

pgf_catalog: PGF_CATALOG_START pgfcat_items PGF_CATALOG_END ;
pgfcat_items: %empty | pgfcat_items pgfcat_item | pgfcat_items CONTENT ;
pgfcat_item: pgf | error ;

font_catalog: FONT_CATALOG_START fontcat_items FONT_CATALOG_END ;
fontcat_items: %empty | fontcat_items fontcat_item | fontcat_items CONTENT ;
fontcat_item: font | error ;

cfont_catalog: CFONT_CATALOG_START cfontcat_items CFONT_CATALOG_END ;
cfontcat_items: %empty | cfontcat_items cfontcat_item | cfontcat_items CONTENT ;
cfontcat_item: cfont | error ;

condition_catalog: CONDITION_CATALOG_START condcat_items CONDITION_CATALOG_END ;
condcat_items: %empty | condcat_items condcat_item | condcat_items CONTENT ;
condcat_item: condition | error ;

textflow: TEXTFLOW_START flow_items TEXTFLOW_END ;
flow_items: %empty | flow_items flow_item | flow_items CONTENT ;
flow_item: common
         | TEXTRECT_ID
         | TBL_ID
         | UNIQUE_ID
         | pgf
         | font
         | error ;

tbls: TBLS_START tbls_items TBLS_END ;
tbls_items: %empty | tbls_items tbls_item | tbls_items CONTENT ;
tbls_item: common | TEXTRECT_ID | UNIQUE_ID | tbl | pgf | font | error ;

tbl: TBL_START tbl_items TBL_END ;
tbl_items: %empty | tbl_items tbl_item | tbl_items CONTENT ;
tbl_item: common
        | TEXTRECT_ID
        | UNIQUE_ID
        | TBL_ID
        | row
        | pgf
        | font
        | error ;

row: ROW_START row_items ROW_END ;
row_items: %empty | row_items row_item | row_items CONTENT ;
row_item: common | TEXTRECT_ID | UNIQUE_ID | pgf | font | error ;

textline: TEXTLINE_START tl_items TEXTLINE_END ;
tl_items: %empty | tl_items tl_item | tl_items CONTENT ;
tl_item: common | TEXTRECT_ID | TBL_ID | UNIQUE_ID | pgf | font | error ;

pgf: PGF_START pgf_body PGF_END ;
pgf_body: %empty | pgf_body PGF_CONTENT | pgf_body pgf_nested ;
pgf_nested: pgf_nest_open pgf_nest_body PGF_END ;
pgf_nest_open: NESTED_START ;
pgf_nest_body: %empty | pgf_nest_body PGF_CONTENT | pgf_nest_body pgf_nested ;

font: FONT_START font_body FONT_END ;
font_body: %empty | font_body FONT_CONTENT | font_body font_nested ;
font_nested: font_nest_open font_nest_body FONT_END ;
font_nest_open: NESTED_START ;
font_nest_body: %empty | font_nest_body FONT_CONTENT | font_nest_body font_nested ;

cfont: CFONT_START cfont_body CFONT_END ;
cfont_body: %empty | cfont_body CFONT_CONTENT | cfont_body cfont_nested ;
cfont_nested: cfont_nest_open cfont_nest_body CFONT_END ;
cfont_nest_open: NESTED_START ;
cfont_nest_body: %empty | cfont_nest_body CFONT_CONTENT | cfont_nest_body cfont_nested ;

condition: CONDITION_START condition_body CONDITION_END ;
condition_body: %empty | condition_body CONDITION_CONTENT | condition_body condition_nested ;
condition_nested: condition_nest_open condition_nest_body CONDITION_END ;
condition_nest_open: NESTED_START ;
condition_nest_body: %empty | condition_nest_body CONDITION_CONTENT | condition_nest_body condition_nested ;

conditional: CONDITIONAL_START conditional_body CONDITIONAL_END ;
conditional_body: %empty | conditional_body CONDITIONAL_CONTENT | conditional_body conditional_nested ;
conditional_nested: conditional_nest_open conditional_nest_body CONDITIONAL_END ;
conditional_nest_open: NESTED_START ;
conditional_nest_body: %empty | conditional_nest_body CONDITIONAL_CONTENT | conditional_nest_body conditional_nested ;
%%
