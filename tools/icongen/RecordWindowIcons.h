#pragma once

class QPainter;

// The grid icons of the dosage form, route, patent and exclusivity windows.
namespace RecordWindowIcons {

void vocabularyName(QPainter &p);
void vocabularyDefinition(QPainter &p);
void vocabularyUseRestrictions(QPainter &p);
void vocabularyShortName(QPainter &p);
void vocabularyFdaCode(QPainter &p);
void vocabularyNciConcept(QPainter &p);

void patentNumber(QPainter &p);
void patentExpireDate(QPainter &p);
void substanceFlag(QPainter &p);
void productFlag(QPainter &p);
void patentUseCode(QPainter &p);

void exclusivityCode(QPainter &p);
void exclusivityApplicationType(QPainter &p);

} // namespace RecordWindowIcons
