// Reads a workbook with Apache POI's HSSF, draws COUNT small rectangles on its first sheet below
// the form (more than one cluster of 1 024 shape ids in one drawing), and writes it again.
//   java -cp POI_JARS PoiManyShapes.java IN.xls OUT.xls COUNT
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.InputStream;
import java.io.OutputStream;
import org.apache.poi.hssf.usermodel.HSSFClientAnchor;
import org.apache.poi.hssf.usermodel.HSSFPatriarch;
import org.apache.poi.hssf.usermodel.HSSFSimpleShape;
import org.apache.poi.hssf.usermodel.HSSFWorkbook;

public class PoiManyShapes {
    public static void main(String[] args) throws Exception {
        int count = Integer.parseInt(args[2]);
        try (InputStream in = new FileInputStream(args[0]); HSSFWorkbook book = new HSSFWorkbook(in);
             OutputStream out = new FileOutputStream(args[1])) {
            HSSFPatriarch patriarch = book.getSheetAt(0).createDrawingPatriarch();
            for (int i = 0; i < count; ++i) {
                int row = 200 + i / 40, col = i % 40;
                HSSFSimpleShape shape = patriarch.createSimpleShape(
                    new HSSFClientAnchor(0, 0, 512, 128, (short) col, row, (short) col, row));
                shape.setShapeType(HSSFSimpleShape.OBJECT_TYPE_RECTANGLE);
            }
            book.write(out);
        }
    }
}
