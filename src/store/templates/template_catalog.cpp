#include "store/templates/template_catalog.h"

#include <sstream>
#include <stdexcept>

namespace store::templates {
namespace {

// "NAME C40, AMOUNT N17.3, DATE D8" -> field definitions, so each layout reads
// like the table it describes.
std::vector<FieldDef> fields(const std::string& list) {
  std::vector<FieldDef> out;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    std::stringstream parts(item);
    std::string name, form;
    parts >> name >> form;
    if (name.empty() || form.size() < 2) throw std::logic_error("bad field list item: " + item);
    FieldDef f{name, form[0], 0, 0};
    auto dot = form.find('.');
    f.width = std::stoi(form.substr(1, dot == std::string::npos ? std::string::npos : dot - 1));
    if (dot != std::string::npos) f.decimals = std::stoi(form.substr(dot + 1));
    out.push_back(f);
  }
  return out;
}

TagDef tag(std::string name, std::string expr, int keyLength, bool unique = false, bool descending = false) {
  return TagDef{std::move(name), std::move(expr), keyLength, unique, descending};
}

std::vector<TemplateDef> build() {
  std::vector<TemplateDef> t;
  auto add = [&](std::string name, std::string fieldList, std::vector<TagDef> tags, std::string data = "",
                 int rows = 0, uint8_t codePage = 0x00, uint8_t flags = 0x01, uint8_t version = 0x03) {
    std::string table = name;
    t.push_back(TemplateDef{name, table, version, flags, codePage, fields(fieldList), std::move(tags),
                            std::move(data), rows});
  };

  add("ACF",
      "TYPE C1, NUMBER C8, NAME11 C40, NAME21 C40, NAME12 C40, NAME22 C40, ISINBY1 L1, ISINBY2 L1, CATEGORY C5,"
      "DEBCREDFLT C1, ISTOMATCH L1, CENTRALID C7, ISLOCKED L1, ISPRINTSUM L1, VATCODE C10, CURRENCY C3,"
      "CNCYONLY L1, TOTDEB1 N17.3, TOTCRE1 N17.3, TOTDEBTMP1 N17.3, TOTCRETMP1 N17.3, TOTDEB2 N17.3,"
      "TOTCRE2 N17.3, TOTDEBTMP2 N17.3, TOTCRETMP2 N17.3, TOTCUR1 N17.3, TOTCUR2 N17.3, MEMOTYPE C1, ISDOC L1,"
      "ISANALYT C10, ACCBILDB C8, ACCBILCD C8, ACCBNBDB C8, ACCBNBCD C8, F28150 C1",
      {tag("GLCENTRAL1",
           "iif(TYPE='3' .and. IsInBy1 .and. .not. empty(centralid) .and. .not. deleted(),centralid,space(7))", 7,
           true),
       tag("GLCENTRAL2",
           "iif(TYPE='3' .and. IsInBy2 .and. .not. empty(centralid) .and. .not. deleted(),centralid,space(7))", 7,
           true),
       tag("GLNAME11", "iif(.not. deleted() .and. IsInBy1 ,upper(type+Name11),space(41))", 41),
       tag("GLNAME12", "iif(.not. deleted() .and. IsInBy2 ,upper(type+Name12),space(41))", 41),
       tag("GLNUMBER1", "iif(.not. deleted() .and. IsInBy1 ,upper(type+Number),space(9))", 9),
       tag("GLNUMBER2", "iif(.not. deleted() .and. IsInBy2,upper(type+Number),space(9))", 9)});

  add("ACT",
      "DOCTYPE C1, DBKCODE C6, DBKTYPE C1, DOCNUMBER C8, DOCORDER C3, OPCODE C5, ACCOUNTGL C8, ACCOUNTRP C10,"
      "BOOKYEAR C1, PERIOD C2, DATE D8, DATEDOC D8, DUEDATE D8, COMMENT C40, COMMENTEXT C35, AMOUNT N17.3,"
      "AMOUNTEUR N17.3, VATBASE N17.3, VATCODE C6, CURRAMOUNT N17.3, CURRCODE C3, CUREURBASE N17.3,"
      "VATTAX N17.3, VATIMPUT C6, CURRATE N12.5, REMINDLEV N1, MATCHNO C8, OLDDATE D8, ISMATCHED L1,"
      "ISLOCKED L1, ISIMPORTED L1, ISPOSITIVE L1, ISTEMP L1, MEMOTYPE C1, ISDOC L1, DOCSTATUS C1, DICFROM C16,"
      "CODAKEY C3",
      {tag("ALL",
           "iif(dbkcode <> 'REOPEN'  .and. .not. deleted(),doctype+iif(doctype='3',accountgl+space(2),accountrp)"
           "+iif(empty(matchno)=.T.,dtos(date)+space(8)+dtos(date),dtos(olddate)+matchno+dtos(date)),space(35))",
           35),
       tag("AMOUNT",
           "iif((dbkcode <> 'REOPEN' .or. opcode='MATCH') .and. .not. deleted(),iif(amounteur<0,iif(ismatched=.F.,"
           "'0','1')+str((-1*(amounteur)),17,2),iif(ismatched=.F.,'0','1')+str(amounteur,17,2)),'9'+str(0,17,2))",
           18),
       tag("CURRAMOUNT",
           "iif((dbkcode <> 'REOPEN' .or. opcode='MATCH') .and. .not. deleted(),iif(CURRAMOUNT<0,iif(ismatched=.F.,"
           "'0','1')+CURRCODE+str((-1*(CURRAMOUNT)),17,2),iif(ismatched=.F.,'0','1')+CURRCODE+str(CURRAMOUNT,17,2)),"
           "'9'+space(3)+str(0,17,2))",
           21),
       tag("GL", "iif(.not. deleted(),accountgl+bookyear+period+DTOS(date)+str(recno(),6),space(25))", 25),
       tag("GLCUSTSUPP", "iif(.not. deleted(),doctype+accountrp+bookyear+period+DTOS(date)+str(recno(),6),space(28))",
           28),
       tag("ISCURCS",
           "iif(currcode<>space(3) .and. (doctype='1' .or. doctype='2') .and. .not. deleted(),doctype+accountrp,"
           "SPACE(11))",
           11, true),
       tag("ISCURGEN", "iif(currcode<>space(3) .and. .not. deleted(),accountgl,SPACE(8))", 8, true),
       tag("ISMAJOK",
           "iif(docorder = space(3) .and. upper(dbkcode) <> 'REOPEN' .and. amounteur <> 0 .and. .not. deleted(),"
           "BOOKYEAR+'MISSINGDOCORDER',SPACE(16))",
           16, true),
       tag("JNL",
           "iif(.not. deleted() ,dbkcode+bookyear+period+str(val(docnumber),8)+docorder+opcode,space(25))", 25),
       tag("JNLACHVEN",
           "iif(.not. deleted() .and. val(dbktype)<4 .and. (doctype='1' .or. doctype='2'),dbkcode+bookyear+period"
           "+str(val(docnumber),8),space(17))",
           17, true),
       tag("JNLFINOD",
           "iif(.not. deleted() .and. Opcode = 'MAIN' ,dbkcode+bookyear+period+str(val(docnumber),8)+docorder"
           "+str(recno(),6),space(26))",
           26, true),
       tag("NUMFAC",
           "iif(val(dbktype)<4 .and. .not. deleted() ,' ' + str(val(docnumber),8)+dbkcode+str(recno(),6),'*' "
           "+ space(20))",
           21, true),
       tag("OPEN",
           "iif(dbkcode <> 'REOPEN'  .and. ISMATCHED=.F. .and. .not. deleted(),doctype+iif(doctype='3',accountgl"
           "+space(2),accountrp)+iif(empty(matchno)=.T.,dtos(date)+space(8)+dtos(date),dtos(olddate)+matchno"
           "+dtos(date)),space(35))",
           35),
       tag("VCS",
           "iif(dbkcode <> 'REOPEN' .and. ISMATCHED=.F. .and. (doctype='1' .or. doctype='2') .and. dbktype <> '4' "
           ".and. .not. empty(commentext) .and. .not. deleted(), commentext + str(recno(),6), space(41))",
           41, true)});

  add("BPAYBENEF",
      "TYPE C1, NUMBER C10, NAME C40, ADRESS C40, ZIPCODE C10, CITY C10, TELNUMBER C17, FAXNUMBER C17, COUNTRY C2,"
      "CURRENCY C3, NUMCPT1 C34, NUMCPT2 C34, NUMCPT3 C34, DISPLAYCPT N1, AMOUNT N17.2, COMMUNIC C106, FORCPT1 L1,"
      "NAMECPT1 C40, CTRYCPT1 C3, ZIPCPT1 C10, SWIFTCPT1 C11, ADRESSCPT1 C40, CITYCPT1 C10, EXPCPT1 C3,"
      "PAYCPT1 C3, IBLCCPT1 C3, FORCPT2 L1, NAMECPT2 C40, CTRYCPT2 C3, ZIPCPT2 C10, SWIFTCPT2 C11,"
      "ADRESSCPT2 C40, CITYCPT2 C10, EXPCPT2 C3, PAYCPT2 C3, IBLCCPT2 C3, FORCPT3 L1, NAMECPT3 C40,"
      "CTRYCPT3 C3, ZIPCPT3 C10, SWIFTCPT3 C11, ADRESSCPT3 C40, CITYCPT3 C10, EXPCPT3 C3, PAYCPT3 C3,"
      "IBLCCPT3 C3",
      {tag("NAME", "iif(.not. deleted(),TYPE  + UPPER(NAME),SPACE(41))", 41),
       tag("NUMBER", "iif(.not. deleted(),TYPE+ UPPER(NUMBER),SPACE(11))", 11)});

  add("CODENAE", "CODE C3, NAMEFR C100, NAMENL C100",
      {tag("CODE", "iif(.not. deleted(),UPPER(CODE),SPACE(3))", 3)}, "CODENAE.csv", 19);

  add("CODEVAT",
      "CODE C6, USRCODE1 C5, USRCODE2 C5, RATE N6.2, DESC1 C40, DESC2 C40, TAX C1, DED L1, TYPDED C1, TOVER L1,"
      "ICOM C1, ISTAT L1, BASE_INV C12, TAX_INV C12, BASE_CN C12, TAX_CN C12, DATE_BEG D8, DATE_END D8,"
      "ACCINV1 C8, ACCINV2 C8, ACCCN1 C8, ACCCN2 C8, DEFCLASS C40, BASFORM C50, TAXFORM C50, TREELEVEL C10,"
      "TREELIB1 C60, TREELIB2 C60, RESUME1 C250, RESUME2 C250, CODEND C6, ISFIN L1",
      {tag("CODE", "iif(.not. deleted(),upper(Code),space(6))", 6),
       tag("CODEUSR1", "iif(.not. deleted(),upper(usrCode1),space(5))", 5),
       tag("CODEUSR2", "iif(.not. deleted(),upper(usrCode2),space(5))", 5),
       tag("TREE", "iif(.not. deleted(),Treelevel,space(10))", 10)},
      "CODEVAT.csv", 564);

  add("CODFOR", "TYPE C1, NUMBER C3, NAMEFR C250, NAMENL C250",
      {tag("NUMBER", "iif(.not. deleted(),TYPE +UPPER(NUMBER),SPACE(4))", 4)}, "CODFOR.csv", 107);

  const std::string countryFields =
      "COUNTRYID C3, COUNTRYISO C3, NAME C35, CATEGORY C9, INTRACODE C3, CURRENCYID C3";
  const std::vector<TagDef> countryTags{tag("ID", "iif(.not. deleted(),CountryId,space(3))", 3)};
  add("COUNTRY", countryFields, countryTags, "COUNTRY.csv", 243, 0x03);

  add("CSF",
      "NUMBER C10, TYPE C1, NAME1 C40, NAME2 C40, CIVNAME1 C6, CIVNAME2 C6, ADRESS1 C40, ADRESS2 C40, VATCAT C1,"
      "COUNTRY C2, VATNUMBER C17, PAYCODE C4, TELNUMBER C20, FAXNUMBER C20, BNKACCNT C14, ZIPCODE C10, CITY C30,"
      "DEFLTPOST C10, LANG C1, CATEGORY C5, CENTRAL C8, VATCODE C10, CURRENCY C3, LASTREMLEV C1, LASTREMDAT D8,"
      "TOTDEB1 N17.3, TOTCRE1 N17.3, TOTDEBTMP1 N17.3, TOTCRETMP1 N17.3, TOTDEB2 N17.3, TOTCRE2 N17.3,"
      "TOTDEBTMP2 N17.3, TOTCRETMP2 N17.3, ISLOCKED L1, MEMOTYPE C1, ISDOC L1, F28150 C1, KSMODIFIED L1,"
      "IBANAUTO C34, BICAUTO C11",
      {tag("ARCHIVE", "IIF(KSMODIFIED=.T.,TYPE+NUMBER+IIF(DELETED(),'D',' '),SPACE(12))", 12, true),
       tag("BNKNUM", "iif(.not. deleted() .and. .not. empty(BNKACCNT),  type+BNKACCNT,  space(15))", 15),
       tag("NAME", "iif(.not. deleted(),type+upper(name1),space(1)+space(40))", 41),
       tag("NUMBER", "iif(.not. deleted(),upper(type+number),space(11))", 11),
       tag("VAT", "iif(.not. deleted(),type+country+vatnumber,space(1)+space(19))", 20)},
      "", 0, 0x03, 0x00);

  const std::string currencyFields =
      "CURRENCYID C3, NAME C40, DECNUM N2, RATE_DATE D8, RATE N18.9, CURRINS L1";
  const std::vector<TagDef> currencyTags{
      tag("ID", "iif(.not. deleted(),CurrencyId,space(3))", 3, true),
      tag("RATE", "iif(.not. deleted(),CurrencyId + dtos(RATE_DATE),space(11))", 11, false, true)};
  add("CURRENCY", currencyFields, currencyTags, "CURRENCY.csv", 182);

  const std::string journalFields =
      "DBKID C6, DBKDESC C40, DBKTYPE C1, DBKTYPE2 C1, DBKEXT C1, DBKOPT C250, DBKBEGEXP C2, DBKENDEXP C2,"
      "DBKLOCKED L1";
  const std::vector<TagDef> journalTags{
      tag("DESC", "iif(.not. deleted(), upper(DBKDESC),space(40))", 40),
      tag("ID", "iif(.not. deleted() , upper(DBKTYPE + DBKID),space(7))", 7),
      tag("JNL", "iif(.not. deleted(), upper(DBKID),space(6))", 6)};
  add("DBK_01", journalFields, journalTags, "DBK_01.csv", 9, 0x03);

  add("DIC",
      "DICTYPE C1, DICREF C12, ACCOUNT C10, ACCOUNTTYP C1, DBKTYPE C1, COMMENT C40, AMOUNT N17.3,"
      "CURRAMOUNT N17.3, CURRENCY C3, DEBCRED C1, CURRCODE C3, VATBASE N17.3, VATCODE C6, VATTAX N17.3,"
      "PARAM C20, MEMOTYPE C1, DICORDER C3",
      {});

  const std::string treeFields = "LIB1 C30, LIBALT C30, PARENTKEY C30, PARENTNDX N4, DICCODE C12, PARAM C10";
  const std::vector<TagDef> treeTags{
      tag("DICLIB", "IIF(.NOT. DELETED(),LIB1,SPACE(30))", 30),
      tag("DICORDER", "iif(.not. deleted(),PARENTKEY + str(PARENTNDX,4),'*' + space(33))", 34),
      tag("DICREF", "iif(.not. deleted(),diccode,space(12))", 12),
      tag("NODE", "iif(.not. deleted() ,space(1)+parentkey+lib1+diccode,'*' + space(72))", 73)};
  add("DICTREE", treeFields, treeTags, "DICTREE.csv", 4);

  add("MEMO", "KEYMEMO C20, MEMO M10", {tag("KEY", "iif(.not. deleted(),Keymemo,space(20))", 20)}, "", 0, 0x00,
      0x01, 0xF5);

  add("PARAM", "ID C25, VALUE C250, VALUEEXT C250, RECORDDATE D8, RECORDTIME N10.2",
      {tag("ID", "iif(.not. deleted(),upper(Id),space(25))", 25)}, "PARAM.csv", 41);

  const std::string codeTableFields = "TTYPE C10, TID C5, TDESC C35";
  const std::vector<TagDef> codeTableTags{tag("IDCAT", "iif(.not. deleted(),ttype+upper(tId),space(10)+space(5))", 15)};
  add("TABLE", codeTableFields, codeTableTags, "TABLE.csv", 27);

  add("ZIPCODE", "ZIPCODEID C10, CITY C30, LANGUAGE C1",
      {tag("ID", "iif(.not. deleted(),ZipcodeId,space(10))", 10),
       tag("NAME1", "iif(.not. deleted(),upper(City),space(30))", 30)},
      "ZIPCODE.csv", 2903);

  // Dutch editions: same layout and tags, their own rows.
  auto dutch = [&](const std::string& plain, const std::string& data, int rows) {
    for (const TemplateDef& d : t) {
      if (d.name != plain) continue;
      TemplateDef nl = d;
      nl.name = plain + "NL";
      nl.dataFile = data;
      nl.rowCount = rows;
      t.push_back(nl);
      return;
    }
    throw std::logic_error("no template " + plain);
  };
  dutch("COUNTRY", "COUNTRYNL.csv", 245);
  dutch("CURRENCY", "CURRENCYNL.csv", 182);
  dutch("DBK_01", "DBK_01NL.csv", 9);
  dutch("DICTREE", "DICTREENL.csv", 4);
  dutch("TABLE", "TABLENL.csv", 27);
  return t;
}

}  // namespace

int TemplateDef::recordLength() const {
  int length = 1;
  for (const FieldDef& f : fields) length += f.width;
  return length;
}

const std::vector<TemplateDef>& templateCatalog() {
  static const std::vector<TemplateDef> catalog = build();
  return catalog;
}

const TemplateDef* findTemplate(const std::string& name) {
  for (const TemplateDef& t : templateCatalog())
    if (t.name == name) return &t;
  return nullptr;
}

}  // namespace store::templates
