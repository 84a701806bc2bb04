// The structure history of every table of the host, as data.
//
// A table block gives the structure before the oldest structure level (91):
// its fields (name, type, width, decimals) and the tags of its production
// index with their dBASE key expressions. The change lines after it give, per
// update step, what that step's clone table has that the table before the step
// had not. The structure of a table in a clone folder is the first structure
// plus every change of the steps whose clone folder is not newer; the structure
// that an installation at level L holds is the first structure plus every
// change of the steps numbered below L.
//
// "rows" tells the generator how many records a table gets: per claim of its
// family ("bc" institutional, "bs" professional), or a fixed count.
// "archive" puts the table into the claim archives of its family.
//
// Claim keys follow the host's form: the claim number as STR(...,10) followed
// by a type code.
#include "structure_history.h"

namespace dbup::fixture {

const char* StructureHistoryText() {
  return R"(
table submit rows 4
  S_ID C 6
  S_NAME C 35
  S_TYPE C 1
  S_ADDR1 C 35
  S_CITY C 25
  S_STATE C 2
  S_ZIP C 10
  S_ANSIVER C 12
  S_OUTPUT C 1
  tag S_ID S_ID
0092 submit add S_SPLT837 C 1
0104 submit add S_PROVBRK C 1
0119 submit add S_270ISA05 C 2
0127 submit add S_NOLEGBP C 1
0146 submit add S_ORDPRIM C 1
0163 submit add S_DELREPIT C 1
0163 submit add S_ANSIVDN C 12
0163 submit add S_ANSIV270 C 12
0163 submit add S_ANSIV276 C 12
0192 submit add S_EMAIL C 60

table bcprov rows 12
  P_ID C 15
  P_IDTP C 2
  P_ID_LOB C 3
  P_NAME C 35
  P_ANSIID1 C 15
  P_ANSITP1 C 2
  P_ANSIID2 C 15
  P_ANSITP2 C 2
  P_NOTES M 10
  tag P_ID P_ID
0094 bcprov add P_PLMATCH C 1
0105 bcprov add P_NPI C 10
0139 bcprov add P_FORCLEG C 1
0147 bcprov add P_POAREQD C 1
0159 bcprov add P_EMAIL C 60

table bsprov rows 12
  P_ID C 15
  P_IDTP C 2
  P_NAME C 35
  P_NOTES M 10
  tag P_ID P_ID
0095 bsprov add P_PLMATCH C 1
0112 bsprov add P_NPI C 10
0140 bsprov add P_FORCLEG C 1
0174 bsprov add P_EMAIL C 60

table upin rows 20
  UPIN C 15
  LASTNAME C 35
  FIRSTNAME C 25
  NPI C 10
  tag UPIN UPIN
0110 upin resize UPIN C 30
0133 upin tag BYNPI NPI
0164 upin resize LASTNAME C 60
0200 upin add TAXONOMY C 10

table facility rows 8
  FAC_ID C 15
  FAC_NAME C 35
  FAC_CITY C 25
  tag FAC_ID FAC_ID
0111 facility resize FAC_ID C 30
0160 facility resize FAC_ID C 50

table patient rows 25
  PT_PCN C 20
  PT_L_NAME C 25
  PT_F_NAME C 20
  PT_DOB D 8
  PT_MSA C 4
  PT_NOTES M 10
  tag BY_PCN PT_PCN
  tag BY_NAME UPPER(PT_L_NAME)
0121 patient drop PT_MSA
0121 patient add PT_CBSA C 5
0132 patient resize PT_L_NAME C 35
0161 patient resize PT_L_NAME C 60

table payer rows 10
  PAY_ID C 10
  PAYFULDESC C 40
  tag PAY_ID PAY_ID
0162 payer resize PAYFULDESC C 60

table isec rows 5
  SEC_USER C 10
  SEC_NAME C 35
  SEC_LEVEL N 2
  tag SEC_USER SEC_USER
0202 isec add SEC_EMAIL C 60

table bcpoc rows claim bc 1
  T_CLAIM N 10
  T_PDIAG C 8
  T_NOTE M 10
  tag T_CLAIM STR(T_CLAIM,10)
0203 bcpoc add T_PDIAGVS C 1

table bsroster rows 6
  R_ID C 10
  R_REFLNAME C 35
  R_REFFNAME C 25
  tag R_ID R_ID
0114 bsroster add R_REFNPI C 10
0175 bsroster resize R_REFLNAME C 60
0199 bsroster add R_PROCDSC C 80

table bsrostln rows 12
  RL_ID C 10
  RL_LINE N 3
  RL_HIC C 25
  tag RL_ID RL_ID+STR(RL_LINE,3)
0176 bsrostln resize RL_HIC C 30
0198 bsrostln add RL_DIAGVS C 1

table bcelgrq rows 6
  E_ID C 10
  E_PCN C 20
  E_DATE D 8
  tag E_ID E_ID
0134 bcelgrq add E_SVTYPE C 2
0143 bcelgrq add E_FACTYPE C 2
0195 bcelgrq add E_SBDIAGVS C 1

table bselgrq rows 6
  E_ID C 10
  E_PCN C 20
  E_DATE D 8
  tag E_ID E_ID
0135 bselgrq add E_SVTYPE C 2
0144 bselgrq add E_FACTYPE C 2
0197 bselgrq add E_SBDIAGVS C 1

table bcelgrql rows 8
  EL_ID C 10
  EL_SEQ N 3
  EL_TEXT C 60
  tag EL_ID EL_ID+STR(EL_SEQ,3)
0189 bcelgrql add EL_SPNDTB C 1

table bselgrql rows 8
  EL_ID C 10
  EL_SEQ N 3
  EL_TEXT C 60
  tag EL_ID EL_ID+STR(EL_SEQ,3)
0191 bselgrql add EL_SPNDTB C 1

table careason rows 15
  CARC_CODE C 5
  CARC_DESC C 80
  tag CARC_CODE CARC_CODE
0141 careason add CARC_EFFDT D 8

table respcode rows 15
  SRC_CODE C 5
  SRC_DESC C 80
  tag SRC_CODE SRC_CODE
0142 respcode add SRC_EFFDT D 8

table taxonomy rows 15
  TX_CODE C 10
  TX_DESC C 80
  tag TX_CODE TX_CODE
0150 taxonomy add TX_EFFDT D 8

table remitrem rows 15
  RARC_CODE C 5
  RARC_DESC M 10
  tag RARC_CODE RARC_CODE
0151 remitrem add RARC_EFFDT D 8

table bcclaim rows claim bc 1 archive bc
  CLAIM N 10
  C_PCN C 20
  C_FROMDT D 8
  C_TOTCHG N 12 2
  C_TOTUNITS N 7
  C_COVDAYS N 4
  C_NCOVDAY N 4
  C_CODAYS N 4
  C_LTRDAYS N 4
  C_ATTEND C 15
  C_ATTENDQ C 2
  C_ATTENDID C 15
  C_ATTENDTP C 1
  C_OPERPHYS C 15
  C_OPERQ C 2
  C_OPERPID C 15
  C_OPERPTP C 1
  C_OTHER1 C 15
  C_OTHER1Q C 2
  C_OTHER1ID C 15
  C_OTHER1TP C 1
  C_OTHER2 C 15
  C_OTHER2Q C 2
  C_OTHER2ID C 15
  C_OTHER2TP C 1
  C_REMARKS M 10
  tag CLM_ALL STR(CLAIM,10)
  tag BY_PCN C_PCN
0107 bcclaim drop C_ATTEND
0107 bcclaim add C_ATTENDLN C 35
0107 bcclaim add C_ATTENDFN C 25
0107 bcclaim add C_ATTENDMI C 1
0107 bcclaim add C_OPERPLN C 35
0107 bcclaim add C_OPERPFN C 25
0107 bcclaim add C_OPERPMI C 1
0107 bcclaim add C_OTHER1LN C 35
0107 bcclaim add C_OTHER1FN C 25
0107 bcclaim add C_OTHER1MI C 1
0107 bcclaim add C_OTHER2LN C 35
0107 bcclaim add C_OTHER2FN C 25
0107 bcclaim add C_OTHER2MI C 1
0136 bcclaim add C_BILLNPI C 10
0145 bcclaim add C_POATYPE C 1
0148 bcclaim add C_NPIEXPT C 1
0153 bcclaim add C_ODIAG18 C 8
0181 bcclaim resize C_TOTUNITS N 10 2
0194 bcclaim add C_PDIAGVS C 1

table bclines rows claim bc 2 archive bc
  CLAIM N 10
  LINE N 3
  L_PROC C 5
  L_CHARGE N 10 2
  L_UNITS N 7
  L_NDCCOST N 10 2
  tag L_CLAIM STR(CLAIM,10)+STR(LINE,3)
0126 bclines resize L_NDCCOST N 12 3
0155 bclines add L_PROCDSC C 80
0182 bclines resize L_UNITS N 10 2

table bclinesc rows claim bc 1 archive bc
  CLAIM N 10
  LINE N 3
  LC_AMOUNT N 10 2
  tag L_CLAIM STR(CLAIM,10)+STR(LINE,3)
0156 bclinesc add LC_PATOWED N 10 2

table bccpayer rows claim bc 1 archive bc
  CP_CLAIM N 10
  CP_PAYSEQ C 2
  CP_PAYID C 10
  CP_EADDR C 40
  tag CP_CLAIM STR(CP_CLAIM,10)+CP_PAYSEQ
0100 bccpayer add CP_ICNTRY C 3
0137 bccpayer add CP_PROVNPI C 10
0154 bccpayer drop CP_EADDR

table bcccodes rows claim bc 1 archive bc
  CD_CLAIM N 10
  CD_TYPE C 1
  CD_SEQ C 3
  CD_CODE C 5
  CD_AMOUNT N 12 2
  tag BY_TYPESEQ STR(CD_CLAIM,10)+CD_TYPE+CD_SEQ

table bcrecid rows claim bc 1 archive bc
  ID_CLAIM N 10
  ID_TYPE C 4
  ID_SEQA N 3
  ID_SEQB N 3
  ID_SEQC N 3
  ID_ID C 30
  ID_IDTP C 3
  tag ID_CLAIM STR(ID_CLAIM,10)+ID_TYPE
0106 bcrecid create
0157 bcrecid add ID_PAYID C 10

table bcrecnm rows claim bc 1 archive bc
  NM_CLAIM N 10
  NM_TYPE C 4
  NM_SEQA N 3
  NM_SEQB N 3
  NM_SEQC N 3
  NM_ENTCD C 1
  NM_QUAL C 2
  NM_LNAME C 35
  NM_FNAME C 25
  NM_MI C 1
  NM_SUFX C 10
  tag BY_TYPE STR(NM_CLAIM,10)+NM_TYPE
0106 bcrecnm create
0158 bcrecnm resize NM_LNAME C 60

table bcrspns rows claim bc 1 archive bc
  CR_CLAIM N 10
  CR_STATUS C 2
  tag CR_CLAIM STR(CR_CLAIM,10)
0177 bcrspns add CR_TOB C 3

table bsclaim rows claim bs 1 archive bs
  CLAIM N 10
  C_PCN C 20
  C_FROMDT D 8
  C_TOTCHG N 12 2
  C_REFUPIN C 15
  C_REFIDTP C 2
  C_REFTAXID C 15
  C_REFTAXTP C 1
  C_FACID C 15
  C_FACIDTP C 2
  C_FACTAXID C 15
  C_FACTAXTP C 1
  C_REFLNAME C 35
  C_REFFNAME C 25
  C_REFMI C 1
  C_REFSUFX C 10
  C_FACNAME C 35
  C_CPPROV C 15
  C_PAYER_S C 2
  C_DOCTYPE C 1
  C_DOCIND C 1
  C_DOCACN C 30
  C_REMARKS M 10
  tag C_CLAIM STR(CLAIM,10)
  tag BY_PCN C_PCN
0115 bsclaim drop C_REFUPIN
0138 bsclaim add C_BILLNPI C 10
0167 bsclaim add C_HRVSDATE D 8
0167 bsclaim drop C_REFLNAME
0167 bsclaim drop C_REFFNAME
0167 bsclaim drop C_REFMI
0167 bsclaim drop C_REFSUFX
0196 bsclaim add C_DIAGVS C 1
0201 bsclaim add C_ACCDATE D 8

table bslines rows claim bs 2 archive bs
  CLAIM N 10
  LINE N 3
  L_PROC C 5
  L_CHARGE N 10 2
  L_UNITS N 7 1
  L_PURSVCID C 15
  L_PURSVCTP C 2
  tag L_CLAIM STR(CLAIM,10)+STR(LINE,3)
0116 bslines drop L_PURSVCID
0170 bslines add L_PSSLNS C 1
0184 bslines resize L_UNITS N 9 2

table bslinesa rows claim bs 2 archive bs
  CLAIM N 10
  LINE N 3
  LA_SUPR C 15
  LA_SUPRTP C 2
  LA_SUPRUPN C 15
  LA_SUPRUTP C 2
  LA_ORDR C 15
  LA_ORDRTP C 2
  LA_ORDRUPN C 15
  LA_ORDRUTP C 2
  LA_REFR C 15
  LA_REFRTP C 2
  LA_REFRUPN C 15
  LA_REFRUTP C 2
  LA_FACID C 15
  LA_FACIDTP C 2
  LA_FACTXID C 15
  LA_FACTXTP C 2
  LA_SUPRLN C 35
  LA_SUPRFN C 25
  LA_SUPRMI C 1
  LA_SUPRSX C 10
  LA_ORDRLN C 35
  LA_ORDRFN C 25
  LA_ORDRMI C 1
  LA_ORDRSX C 10
  LA_REFRLN C 35
  LA_REFRFN C 25
  LA_REFRMI C 1
  LA_REFRSX C 10
  LA_PURSVNM C 35
  LA_REFTP1 C 2
  LA_REFNO1 C 30
  LA_REFTP2 C 2
  LA_REFNO2 C 30
  LA_DEDUCT N 10 2
  LA_COINS N 10 2
  LA_NRTVTP C 3
  LA_NRTV M 10
  tag L_CLAIM STR(CLAIM,10)+STR(LINE,3)
0117 bslinesa add LA_SUPLSZ C 1
0169 bslinesa add LA_SCRPTYP C 2
0187 bslinesa add LA_NDCTP C 2

table bslinesc rows claim bs 1 archive bs
  CLAIM N 10
  LINE N 3
  LC_AMOUNT N 10 2
  tag L_CLAIM STR(CLAIM,10)+STR(LINE,3)
0171 bslinesc add LC_PATOWED N 10 2

table bscpayer rows claim bs 1 archive bs
  CP_CLAIM N 10
  CP_PAYSEQ C 2
  CP_PAYID C 10
  CP_INSTYP C 2
  CP_MSPTYP C 2
  CP_PAYLOB C 3
  CP_ALLOW N 12 2
  CP_PAID N 12 2
  CP_DEDUCT N 12 2
  CP_COINS N 12 2
  CP_PRIAUT C 30
  CP_PRIATP C 2
  CP_PRIAUT2 C 30
  CP_PRIATP2 C 2
  CP_PRIAUT3 C 30
  CP_PRIATP3 C 2
  tag CP_CLAIM STR(CP_CLAIM,10)+CP_PAYSEQ
0102 bscpayer add CP_ICNTRY C 3
0168 bscpayer add CP_ICNTACT C 35

table bsattach rows claim bs 1 archive bs
  CLAIM N 10
  LINE N 3
  A_HGBRSLT N 5
  A_TRIPNAR M 10
  A_STRCNAR M 10
  A_CHIDESC M 10
  tag L_CLAIM STR(CLAIM,10)+STR(LINE,3)
0120 bsattach resize A_HGBRSLT N 6 1
0165 bsattach add A_BEDDUR N 4
0165 bsattach add A_TRIPDSC M 10
0165 bsattach add A_STRCDSC M 10
0165 bsattach add A_CHIRDSC M 10
0179 bsattach add A_AMBDOLOC C 2

table bsattchd rows claim bs 1 archive bs
  CLAIM N 10
  D_TYPE C 2
  D_DESC C 60
  tag C_CLAIM STR(CLAIM,10)+D_TYPE
0131 bsattchd add D_RAL20N02 C 1
0166 bsattchd add D_ORDRSX C 10

table bscpymnt rows claim bs 1 archive bs
  CY_CLAIM N 10
  CY_AMOUNT N 12 2
  CY_DISUNIT N 7 2
  CY_NOTE M 10
  tag CY_CLAIM STR(CY_CLAIM,10)
0123 bscpymnt resize CY_DISUNIT N 9 2
0185 bscpymnt resize CY_DISUNIT N 10 2

table bsrecid rows claim bs 1 archive bs
  ID_CLAIM N 10
  ID_TYPE C 4
  ID_SEQA N 3
  ID_SEQB N 3
  ID_SEQC N 3
  ID_ID C 30
  ID_IDTP C 3
  tag ID_CLAIM STR(ID_CLAIM,10)+ID_TYPE
0113 bsrecid create
0167 bsrecid tag BY_TYPE STR(ID_CLAIM,10)+ID_TYPE
0172 bsrecid add ID_PAYID C 10

table bsrecnm rows claim bs 1 archive bs
  NM_CLAIM N 10
  NM_TYPE C 4
  NM_SEQA N 3
  NM_SEQB N 3
  NM_SEQC N 3
  NM_ENTCD C 1
  NM_QUAL C 2
  NM_LNAME C 35
  NM_FNAME C 25
  NM_MI C 1
  NM_SUFX C 10
  tag BY_TYPE STR(NM_CLAIM,10)+NM_TYPE
0113 bsrecnm create
0173 bsrecnm resize NM_LNAME C 60

table bsrecrn rows claim bs 1 archive bs
  RE_CLAIM N 10
  RE_TYPE C 4
  RE_SEQA N 3
  RE_SEQB N 3
  RE_SEQC N 3
  RE_SEGID C 3
  RE_PWRTC C 2
  RE_PWATC C 2
  RE_NRTVA C 80
  RE_NTTYP C 3
  tag BY_CLMTYP STR(RE_CLAIM,10)+RE_TYPE

table bscob rows claim bs 1 archive bs
  CO_CLAIM N 10
  CO_TYPE C 4
  CO_LNSEQA N 3
  CO_LNSEQB N 3
  CO_LNSEQC N 3
  CO_GRPCD C 2
  CO_RSNCD C 5
  CO_AMTCD C 3
  CO_AMOUNT N 12 2
  CO_UNITS N 10 2
  tag BY_CLMTYP STR(CO_CLAIM,10)+CO_TYPE

table bsrspns rows claim bs 1 archive bs
  CR_CLAIM N 10
  CR_STATUS C 2
  tag CR_CLAIM STR(CR_CLAIM,10)
0178 bsrspns add CR_TOB C 3

table revcode rows 30
  REV_CODE C 4
  REV_DESC C 40
  REV_CHGS N 12 2
  tag BY_CODE REV_CODE

table utilmast rows 3 noindex
  U_KEY C 10
  U_VALUE C 60
)";
}

}  // namespace dbup::fixture
